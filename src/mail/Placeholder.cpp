// Mail client sources are listed in CMakeLists.txt.
