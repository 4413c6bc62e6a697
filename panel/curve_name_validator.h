#pragma once
// What a curve name may hold: the image stores it as at most 15 Latin-1 bytes, so the name
// field refuses any other character (rather than the image storing "?" for it) and any 16th.

#include <QValidator>

namespace panel {

class CurveNameValidator : public QValidator {
  Q_OBJECT

 public:
  using QValidator::QValidator;

  // Printable Latin-1: blank to '~' and no-break space to 'ÿ'.
  static bool Storable(QChar c);

  State validate(QString& input, int& position) const override;
};

}  // namespace panel
