// Settings store sources are listed in CMakeLists.txt.
