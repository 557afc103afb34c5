#pragma once

#include <QDialog>
#include <QString>

#include <string>

#include <ostrel/UtcTime.h>

class COstrel;
class COstrelView;
class QAction;
class QMenuBar;

namespace varno::trelis {

// "<earliest> - <latest> : "<title>"", each time printed with the date alone at midnight.
QString BuildViewerTitle(const CUtcTime& earliest, const CUtcTime& latest,
                         const std::string& title);

// The viewer's main window: a resizable dialog filled by a view of the data, with the
// About box in its menu, in the view's context menu and on F1.
class CTrelisDlg : public QDialog {
public:
    explicit CTrelisDlg(COstrel* data, QWidget* parent = nullptr); // data not owned
    ~CTrelisDlg() override;

    COstrelView* GetView() const { return m_view; }
    QAction* GetAboutAction() const { return m_about; }
    void ShowAbout();

private:
    QRect viewArea() const;

    COstrel* m_data;
    COstrelView* m_view = nullptr;
    QAction* m_about = nullptr;
    QMenuBar* m_menuBar = nullptr;
};

} // namespace varno::trelis
