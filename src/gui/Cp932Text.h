#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Messages.h"

// The GUI's boundary with the core's CP932 texts.
namespace tarnwick {

QString FromCp932(std::string_view cp932);
std::string ToCp932(const QString& text);

// A text of the core's message catalogue, for the GUI.
QString UiText(Msg id);

// How many bytes `text` takes in CP932; the limits of the fields count these.
std::size_t Cp932Length(const QString& text);

// True when CP932 holds every character of `text`: nothing would be stored
// as "?".
bool FitsCp932(const QString& text);

}  // namespace tarnwick
