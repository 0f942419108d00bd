#pragma once

#include "ProgramVersion.h"
#include "StandIn.h"

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// The modal About window: the program's name, version and purpose, a banner,
// a disclaimer and a link to the home page. Each opening builds a new window,
// so its text is never appended to an earlier one.
class About : public QDialog {
    Q_OBJECT

public:
    // The home page that the link shows and opens.
    static constexpr char HomePage[] = "https://orvane.example/";

    // Hands an address to the user's browser. Its result is ignored: a
    // browser that does not come up is not an error of this program.
    using Browser = std::function<bool(const QUrl &)>;
    // A test stands in for the browser until the guard goes.
    static StandIn<Browser> replaceBrowserForTesting(Browser standIn);

    explicit About(QWidget *parent = nullptr);

    // Opens a new About window application-modal, returns once it is closed,
    // and deletes it.
    static void showModal(QWidget *parent = nullptr);

    // The four lines of the information text, joined with CR LF.
    static QString programInfoText(const ProgramVersion &version = programVersion());

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void CloseCMD_Click();

private:
    static Browser &browser();
    void Form_Load();
    void URLLBL_Click();

    QLabel *Image1;
    QLabel *ProgramInfoLBL;
    QLabel *URLLBL;
    QFrame *Frame1;
    QLabel *WarningLBL;
    QPushButton *CloseCMD;
};
