#pragma once

#include <QDialog>

class QComboBox;

namespace varno::kestal {

// "Set Clock": the instrument clock is set to the PC's local time shifted by a whole number
// of hours, -23 to +23.
class CSetClockDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSetClockDlg(QWidget* parent = nullptr);

    // The offset chosen at the start (outside -23 .. 23: none).
    void SetValues(int hours);
    int Values() const;
    QComboBox* offsetBox() const { return m_offset; }

private:
    QComboBox* m_offset;
};

} // namespace varno::kestal
