#pragma once

#include <QValidator>
#include <cstddef>

namespace tarnwick {

// Limits a line edit to `limit` bytes of CP932 text, the measure of every
// text limit of the program (a double-byte character counts two). Input that
// does not fit is cut at a whole character: typed or pasted text loses what
// it brought in beyond the limit, a text set by the program loses its end.
// With `digitsOnly`, anything but 0-9 is refused.
class Cp932ByteValidator : public QValidator {
  Q_OBJECT

 public:
  explicit Cp932ByteValidator(std::size_t limit, QObject* parent = nullptr,
                              bool digitsOnly = false);

  std::size_t limit() const { return limit_; }
  State validate(QString& input, int& pos) const override;

 private:
  std::size_t limit_;
  bool digitsOnly_;
};

}  // namespace tarnwick
