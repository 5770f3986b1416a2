#pragma once

#include <QFrame>
#include <QString>
#include <array>

class QLineEdit;

namespace tarnwick {

// An IPv4 address entry of four octet fields (0 to 255 each) that reads like
// one edit box. A blank field reads as 0. Typing a dot or a third digit moves
// on to the next field; Backspace in an empty field, and the arrow keys at a
// field's edge, move between fields.
class CIpAddressEdit : public QFrame {
  Q_OBJECT

 public:
  explicit CIpAddressEdit(QWidget* parent = nullptr);

  std::array<int, 4> Octets() const;
  // True when every field is blank or 0.
  bool IsZero() const;
  // The four octets as "%d.%d.%d.%d".
  QString Text() const;
  // Fills the fields from dotted text; a part that is no number leaves its
  // field blank and a number above 255 becomes 255.
  void SetText(const QString& dotted);
  void Clear();

  QLineEdit* Field(int index) const { return fields_[static_cast<std::size_t>(index)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  static constexpr int kFieldCount = 4;

  QLineEdit* MakeField(int index);
  int IndexOf(QObject* field) const;
  bool HandleKey(int index, int key);
  void OnEdited(int index);
  void MoveTo(int index, bool toEnd);

  std::array<QLineEdit*, kFieldCount> fields_{};
};

}  // namespace tarnwick
