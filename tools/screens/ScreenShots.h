#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace tarnwick::screens {

// Saves a picture of `widget` as DIR/NAME.png once it is shown and painted.
void Shoot(QWidget& widget, const QString& name);

// Makes the pictures of one group of screens; each group registers itself.
using ScreenGroup = std::function<void()>;
bool RegisterGroup(const char* name, ScreenGroup group);

}  // namespace tarnwick::screens

// At namespace scope in a screen file: TARNWICK_SCREENS(name) { ...Shoot(...)... }
#define TARNWICK_SCREENS(name)                                    \
  static void Screens_##name();                                   \
  [[maybe_unused]] static const bool registered_##name =          \
      ::tarnwick::screens::RegisterGroup(#name, &Screens_##name); \
  static void Screens_##name()
