#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace varno::kestal {

// The texts of the functions editor: statistics, the tidied definition and the keypad.

// Statistics flags of a function.
constexpr int kStatMean = 0x01;
constexpr int kStatSigma = 0x02;
constexpr int kStatMax = 0x04;
constexpr int kStatMin = 0x08;
constexpr int kStatMean360 = 0x10;

// The list text of a function's statistics: " mean", " mean360", " sigma", " max", " min"
// for the flags that are set, in that order.
QString StatisticsText(int flags);

// The check-box rules of the editor, applied after the box clicked was toggled: "mean"
// checked clears "mean360"; "mean360" checked clears "mean", "max" and "min".
int StatisticsAfterClick(int flags, int clicked);

// The definition as the instrument receives it: operators and parentheses between blanks,
// decimal commas as points, umlauts and the sharp s spelled out, typed blank runs shrunk,
// a blank at the end. Works on Latin-1 bytes; other bytes above 0x7F and control
// characters are dropped.
std::string NormaliseDefinition(const std::string& latin1);
// The same for a typed text; characters outside Latin-1 are dropped.
QString NormaliseDefinitionText(const QString& text);

// The keypad's buttons, in order; each inserts its own label.
const QStringList& KeypadTokens();

// A keypad token put in place of the selection start .. end of text, with a blank before
// it unless one is there already or it comes first, and a blank after it unless one
// follows. caret: where the caret goes (right after the token).
struct KeypadInsertion {
    QString text;
    int caret = 0;
};
KeypadInsertion InsertKeypadToken(const QString& text, int start, int end, const QString& token);

} // namespace varno::kestal
