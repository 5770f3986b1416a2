#pragma once

#include <QString>
#include <array>

#include "engine/ComputerEntry.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

class CComputerGroup;
class CMailAddressGroup;
class CNotifyGroup;
class CProgramGroup;

// What the add and edit dialogs read from their controls, checked by the
// rules the two dialogs share and turned into a row.
struct ComputerForm {
  enum class Check { Ping, FixedService, TypedService };
  // Where the comma test of the mail address stands: the add dialog checks
  // the list first, the edit dialog the comma first.
  enum class CommaTest { AfterListCheck, BeforeListCheck };

  QString name;
  std::array<int, 4> octets{};
  bool byMail = false;
  bool byNetsend = false;
  bool byEventlog = false;
  Check check = Check::Ping;
  QString service;  // the fixed service's name or the typed one
  QString port;     // the fixed service's port or the typed text
  QString downProgram;
  QString restoreProgram;
  bool noDefaultMail = false;
  QString mailAddress;

  // The fields both dialogs hold in the same groups; the check method and
  // the service are the caller's.
  static ComputerForm Read(const CComputerGroup& computer, const CNotifyGroup& notify,
                           const CProgramGroup& down, const CProgramGroup& restore,
                           const CMailAddressGroup& mail);

  // Shows the first rule that the form breaks in a box and returns false;
  // true when the row may be written (after the warning about an address
  // that no mail will use, when that applies).
  bool Accept(UserPrompt& prompt, CommaTest commaTest) const;

  // The row: status unknown, the two change times and the last check time
  // empty.
  ComputerEntry ToRow() const;
};

// The boxes of the two dialogs: a refusal or warning ("注意"), and a note
// about a name look-up ("確認").
void Refuse(UserPrompt& prompt, const QString& text);
void Inform(UserPrompt& prompt, const QString& text);

}  // namespace tarnwick
