#pragma once

#include <QDialog>

class QComboBox;

// "Set Clock": the instrument clock is set to the PC's local time shifted by a whole number
// of hours, -23 to +23.
class CSetClockDlg : public QDialog {
    Q_OBJECT
public:
    // hours: the offset chosen at the start (outside -23 .. 23: none).
    explicit CSetClockDlg(int hours, QWidget* parent = nullptr);

    int GetHourOffset() const;
    QComboBox* offsetBox() const { return m_offset; }

private:
    QComboBox* m_offset;
};
