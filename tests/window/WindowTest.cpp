// The main window under the offscreen platform: controls and texts, the view
// operations, dialogs, which handler each event runs, and the window's
// behaviour while a handler runs.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef _WIN32
#include "BusyLoad.h"  // forks its busy processes: POSIX only
#include <unistd.h>
#endif
#include "app/EventPump.h"
#include "job/JobFile.h"
#include "app/FileDialogFilter.h"
#include "app/HandlerList.h"
#include "app/Handlers.h"
#include "app/EndRequests.h"
#include "app/Unit1.h"
#include "emulatedport/EmulatedPort.h"
#include "emulator/IcAccess.h"
#include "link/SystemSerialPort.h"
#include "view/FormModel.h"
#include "view/HexText.h"

namespace {

using otp::Control;
using Strings = std::vector<std::string>;

const char kIni[] =
    "// bench writer\n"
    "VERSION 12071000 V5.00\n"
    "RS232_PORT com2 ; second port\n"
    "IC_BODY_START\n"
    "BODY rx4400\n"
    "BNK_DLY 50\n"
    "PRG_DLY 300\n"
    "INFO $A5,0,0,0,$80,0,4,0,$E2\n"
    "+ 0,0,0,0,0,0,0\n"
    "BODY RX4720\n"
    "INFO $A5,1,0,0,0,0,8,0,$A0\n"
    "BODY RX5100\n"
    "INFO $A5,2,0,0,$80,0,2,0,$26\n"
    "IC_BODY_END\n";

// A serial line that never opens, for want of permission.
class FailingOpener : public otp::PortOpener {
public:
    otp::OpenResult Open(const std::string&, std::unique_ptr<otp::SerialPort>& port) override {
        port.reset();
        ++opens;
        return otp::OpenResult::OpenError;
    }
    otp::OpenFailure LastFailure() const override { return {"/dev/ttyS1", EACCES, ""}; }
    int opens = 0;
};

// What a dialog looked like when it came up.
struct SeenDialog {
    QString className;
    QString objectName;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QPointer<QWidget> parent;
    bool hadParent = false;
    QStringList nameFilters;
    QString selectedNameFilter;
    QString defaultSuffix;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QString directory;  // the folder a file dialog opened in
    QString fileName;   // the name it offered, "" for none
    QPixmap iconPixmap;
    // The operator's click did not close the box; it had to be closed
    // from code.
    bool clickIgnored = false;
};

// Plays the operator at every dialog that comes up: records it and answers
// message boxes with a real mouse click on a button, file dialogs with
// `fileAnswer` (cancel when empty).
class DialogOperator : public QObject {
public:
    DialogOperator() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
    }

    // Empty: the escape button; NoButton: the Enter key.
    std::deque<QMessageBox::StandardButton> boxAnswers;
    std::function<void(QFileDialog&)> fileAnswer;
    // An input dialog's answer: its number, or a cancel when none.
    std::optional<int> inputAnswer;
    std::vector<SeenDialog> seen;

private:
    void Poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible()) continue;
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                Answer(*box);
                return;
            }
            if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
                Answer(*dialog);
                return;
            }
            if (auto* input = qobject_cast<QInputDialog*>(w)) {
                SeenDialog d;
                d.className = "QInputDialog";
                d.title = input->windowTitle();
                d.text = input->labelText();
                seen.push_back(d);
                if (!inputAnswer) {
                    input->reject();
                    return;
                }
                input->setIntValue(*inputAnswer);
                input->accept();
                return;
            }
        }
    }

    void Answer(QMessageBox& box) {
        if (&box == current_) {
            // Still up after our click: the click never got through.
            if (++polls_ > 20) {
                seen.back().clickIgnored = true;
                box.hide();  // ends its exec() without a close event
            }
            return;
        }
        current_ = &box;
        polls_ = 0;
        SeenDialog d;
        d.className = "QMessageBox";
        d.title = box.windowTitle();
        d.text = box.text();
        d.icon = box.icon();
        d.iconPixmap = box.iconPixmap();
        d.buttons = box.standardButtons();
        d.parent = box.parentWidget();
        d.hadParent = box.parentWidget() != nullptr;
        seen.push_back(d);
        QAbstractButton* button = nullptr;
        if (!boxAnswers.empty()) {
            const QMessageBox::StandardButton answer = boxAnswers.front();
            boxAnswers.pop_front();
            if (answer == QMessageBox::NoButton) {
                QTest::keyClick(&box, Qt::Key_Return);
                return;
            }
            button = box.button(answer);
        }
        if (button == nullptr) button = box.escapeButton();
        if (button == nullptr && !box.buttons().isEmpty()) button = box.buttons().first();
        if (button != nullptr) QTest::mouseClick(button, Qt::LeftButton);
    }

    void Answer(QFileDialog& dialog) {
        if (&dialog == currentFile_) {
            if (++polls_ > 20) {
                seen.back().clickIgnored = true;
                dialog.hide();
            }
            return;
        }
        currentFile_ = &dialog;
        polls_ = 0;
        SeenDialog d;
        d.className = "QFileDialog";
        d.objectName = dialog.objectName();
        d.title = dialog.windowTitle();
        d.parent = dialog.parentWidget();
        d.hadParent = dialog.parentWidget() != nullptr;
        d.nameFilters = dialog.nameFilters();
        d.selectedNameFilter = dialog.selectedNameFilter();
        d.defaultSuffix = dialog.defaultSuffix();
        d.acceptMode = dialog.acceptMode();
        d.directory = dialog.directory().absolutePath();
        const QFileInfo offered(dialog.selectedFiles().value(0));
        d.fileName = offered.isDir() ? QString() : offered.fileName();
        seen.push_back(d);
        if (fileAnswer)
            fileAnswer(dialog);
        else
            dialog.reject();
    }

    QTimer timer_;
    QPointer<QMessageBox> current_;
    QPointer<QFileDialog> currentFile_;
    int polls_ = 0;
};

// Counts the paint events a widget receives, and notes what `shown` gives
// at the last of them.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w, std::function<int()> shown = nullptr) : shown_(std::move(shown)) {
        w->installEventFilter(this);
    }
    int count = 0;
    int lastShown = -1;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::Paint) return false;
        ++count;
        if (shown_) lastShown = shown_();
        return false;
    }

private:
    std::function<int()> shown_;
};

// A posted event that posts itself again: it is handled once each time the
// window's events are run.
class Heartbeat : public QObject {
public:
    Heartbeat() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
    int beats = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User) return QObject::event(e);
        ++beats;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return true;
    }
};

void PostClick(QWidget* w) {
    const QPointF at = QRectF(w->rect()).center();
    const QPointF global = w->mapToGlobal(at);
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                   Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                   Qt::NoButton, Qt::NoModifier));
}

void PostKey(QWidget* w, int key) {
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
}

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

QStringList ToQStrings(const Strings& list) {
    QStringList out;
    for (const auto& s : list) out << QString::fromStdString(s);
    return out;
}

// Emits `signal` of `object` with default arguments, as its control does for
// the operator; false when `object` is of another class.
template <typename Sender, typename... Args>
std::function<bool(QObject*)> EmitterOf(void (Sender::*signal)(Args...)) {
    return [signal](QObject* object) {
        auto* sender = qobject_cast<Sender*>(object);
        if (sender == nullptr) return false;
        (sender->*signal)(Args{}...);
        return true;
    };
}

// A handler as HandlerList.h gives it: its name, its control, what emits the
// control's signal, and the name of its operation.
struct ListedHandler {
    std::string handler;
    std::string control;
    std::function<bool(QObject*)> fire;
    std::string operation;
};

const std::vector<ListedHandler>& ListedHandlers() {
#define OTP_LISTED_HANDLER(handler, control, signal, operation, chip) {#handler, #control, EmitterOf(&signal), #operation},
    static const std::vector<ListedHandler> list = {OTP_WINDOW_HANDLERS(OTP_LISTED_HANDLER)};
#undef OTP_LISTED_HANDLER
    return list;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { MakeForm(kIni); }

    void TearDown() override {
        form.reset();
        QCoreApplication::processEvents();
    }

    // A fresh window started in a directory holding `ini` as Writer.ini
    // (no file at all for nullptr).
    void MakeForm(const char* ini) {
        form.reset();
        handlersRun.clear();
        op.seen.clear();
        dir = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(dir->isValid());
        if (ini != nullptr) {
            QFile file(dir->filePath("Writer.ini"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(ini);
        }
        form = std::make_unique<TForm1>(opener, dir->path().toStdString());
        // Boxes the start-up raised (the port does not open) are kept apart.
        startupDialogs = op.seen;
        op.seen.clear();
        form->handlerObserver = [this](const std::string& name) { handlersRun.push_back(name); };
        // The wiring tests watch the handlers run, not their operations.
        form->operationFor = [](const std::string&) { return otp::WindowOperation(); };
    }

    void ShowForm() {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    template <typename T>
    T* Find(const char* name) {
        return form->findChild<T*>(QString::fromLatin1(name));
    }

    QWidget* Client() { return form->centralWidget(); }

    FailingOpener opener;
    DialogOperator op;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TForm1> form;
    Strings handlersRun;
    std::vector<SeenDialog> startupDialogs;
};

// ---------------------------------------------------------------------------
// Layout, texts and items

struct ExpectedControl {
    const char* name;
    const char* className;
    QRect geometry;
    const char* text;  // label, button and field text; nullptr: not checked
    const char* family;  // nullptr: the system's fixed-width font (the dump panes)
    int pixels;          // for a fixed-width font, see DumpRowsFitThePanesAtEverySize
};

const ExpectedControl kControls[] = {
    {"Label4", "QLabel", {4, 4, 62, 16}, "File Name", "MS Sans Serif", 13},
    {"Edit2", "QLineEdit", {70, 0, 355, 24}, "", "MS Sans Serif", 13},
    {"Label1", "QLabel", {440, 4, 97, 16}, "Total Checksum", "MS Sans Serif", 13},
    {"Edit1", "QLineEdit", {544, 0, 65, 24}, "FE00", "MS Sans Serif", 13},
    {"Label3", "QLabel", {4, 30, 57, 16}, "COM Port", "MS Sans Serif", 13},
    {"Edit3", "QLineEdit", {72, 26, 49, 24}, "COM2", "Arial", 13},
    {"Label2", "QLabel", {128, 30, 47, 16}, "IC Body", "MS Sans Serif", 13},
    {"ComboBox1", "QComboBox", {180, 26, 85, 24}, nullptr, "MS Sans Serif", 13},
    {"Label7", "QLabel", {268, 30, 30, 16}, "Bank", "Arial", 13},
    {"ComboBox5", "QComboBox", {300, 26, 80, 24}, nullptr, "Arial", 13},
    {"Label5", "QLabel", {384, 30, 78, 16}, "Rolling Code", "MS Sans Serif", 13},
    {"ComboBox3", "QComboBox", {464, 26, 52, 24}, nullptr, "Arial", 13},
    {"Label6", "QLabel", {524, 30, 29, 16}, "Lock", "MS Sans Serif", 13},
    {"ComboBox4", "QComboBox", {560, 26, 52, 24}, nullptr, "Arial", 13},
    {"Button1", "QPushButton", {0, 52, 100, 25}, "Auto", "MS Sans Serif", 13},
    {"Button2", "QPushButton", {102, 52, 100, 25}, "Blank Check", "MS Sans Serif", 13},
    {"Button3", "QPushButton", {204, 52, 100, 25}, "Program", "MS Sans Serif", 13},
    {"Button4", "QPushButton", {306, 52, 100, 25}, "Verify", "MS Sans Serif", 13},
    {"Button6", "QPushButton", {408, 52, 100, 25}, "Read", "MS Sans Serif", 13},
    {"Button5", "QPushButton", {510, 52, 100, 25}, "Copy", "MS Sans Serif", 13},
    {"RichEdit1", "QPlainTextEdit", {0, 80, 609, 217}, nullptr, nullptr, 0},
    {"RichEdit2", "QPlainTextEdit", {0, 300, 609, 217}, nullptr, nullptr, 0},
    {"Panel1", "QFrame", {164, 200, 289, 81}, nullptr, "Arial", 13},
};

bool WindowsOffscreen() {
#ifdef _WIN32
    return QGuiApplication::platformName() == QLatin1String("offscreen");
#else
    return false;
#endif
}

TEST_F(WindowTest, EveryControlHasItsNameClassPlaceTextAndFont) {
    ASSERT_EQ(form->objectName(), "Form1");
    for (const ExpectedControl& want : kControls) {
        SCOPED_TRACE(want.name);
        QWidget* w = Find<QWidget>(want.name);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(want.className)) << w->metaObject()->className();
        EXPECT_EQ(w->parentWidget(), Client());
        EXPECT_EQ(w->geometry(), want.geometry);
        if (want.family == nullptr) {
            EXPECT_EQ(w->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
            // Qt's offscreen platform on Windows has no theme, so it names no
            // fixed-width font; Windows' own platform names Courier New.
            if (!WindowsOffscreen()) { EXPECT_TRUE(QFontInfo(w->font()).fixedPitch()); }
        } else {
            EXPECT_EQ(w->font().family(), want.family);
            EXPECT_EQ(w->font().pixelSize(), want.pixels);
        }
        if (want.text == nullptr) continue;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
        if (auto* button = qobject_cast<QPushButton*>(w)) text = button->text();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) text = edit->text();
        EXPECT_EQ(text, want.text);
    }
    // Labels show their text as it is.
    for (QLabel* label : Client()->findChildren<QLabel*>()) EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST_F(WindowTest, FieldsAndPanesAreReadOnlyAndButtonsCarryNoAccessKeys) {
    for (const char* name : {"Edit1", "Edit2", "Edit3"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Find<QLineEdit>(name)->isReadOnly());
    }
    for (const char* name : {"RichEdit1", "RichEdit2"}) {
        SCOPED_TRACE(name);
        QPlainTextEdit* pane = Find<QPlainTextEdit>(name);
        EXPECT_TRUE(pane->isReadOnly());
        EXPECT_EQ(pane->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
    for (QPushButton* button : Client()->findChildren<QPushButton*>()) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_FALSE(button->text().contains('&'));
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
    }
}

TEST_F(WindowTest, SelectorsHoldTheirItemsAndRowCounts) {
    QComboBox* body = Find<QComboBox>("ComboBox1");
    QComboBox* rolling = Find<QComboBox>("ComboBox3");
    QComboBox* lock = Find<QComboBox>("ComboBox4");
    QComboBox* bank = Find<QComboBox>("ComboBox5");

    EXPECT_FALSE(body->isEditable());
    EXPECT_FALSE(rolling->isEditable());
    EXPECT_TRUE(lock->isEditable());
    EXPECT_FALSE(bank->isEditable());

    EXPECT_EQ(Items(rolling), ToQStrings(otp::OffOnItems()));
    EXPECT_EQ(Items(lock), ToQStrings(otp::OffOnItems()));
    EXPECT_EQ(Items(bank), ToQStrings(otp::DesignBankItems()));
    EXPECT_EQ(bank->maxVisibleItems(), 10);
    // Nothing is selected in them until the writer's description is applied.
    EXPECT_EQ(rolling->currentIndex(), -1);
    EXPECT_EQ(lock->currentIndex(), -1);
    EXPECT_EQ(lock->currentText(), "");
    EXPECT_EQ(bank->currentIndex(), -1);
    // The lock's text takes what is typed, nothing more.
    EXPECT_EQ(lock->completer(), nullptr);
    EXPECT_EQ(lock->insertPolicy(), QComboBox::NoInsert);
}

TEST_F(WindowTest, ProgressPanelIsHiddenAndLiesOverTheUpperPane) {
    QFrame* panel = Find<QFrame>("Panel1");
    QProgressBar* bar = Find<QProgressBar>("ProgressBar1");
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(panel->isHidden());
    EXPECT_EQ(bar->parentWidget(), panel);
    EXPECT_EQ(bar->geometry(), QRect(16, 24, 257, 33));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_TRUE(panel->autoFillBackground());
    QLabel* caption = panel->findChild<QLabel*>();
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), "Panel1");

    ShowForm();
    form->ShowProgress(true);
    // A point of the panel outside the bar: the panel, not the pane below.
    QWidget* hit = Client()->childAt(QPoint(170, 206));
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit == panel || panel->isAncestorOf(hit)) << hit->objectName().toStdString();
    // The bar covers the caption.
    hit = Client()->childAt(QPoint(164 + 144, 200 + 40));
    EXPECT_EQ(hit, bar);
}

TEST_F(WindowTest, TabOrderFollowsTheForm) {
    const QStringList expected = {"Edit1",   "RichEdit1", "RichEdit2", "ComboBox1", "Button1",
                                  "Button2", "Button3",   "Button4",   "Button5",   "Button6",
                                  "Edit2",   "ComboBox3", "ComboBox4", "ComboBox5", "Edit3"};
    QStringList order;
    QWidget* w = Find<QWidget>("Edit1");
    do {
        if (expected.contains(w->objectName()) && !order.contains(w->objectName())) order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != nullptr && w != Find<QWidget>("Edit1"));
    EXPECT_EQ(order, expected);
}

TEST_F(WindowTest, MenuBarHoldsTheEntriesInOrderWithTheTestcodeSubMenu) {
    QMenuBar* bar = form->menuBar();
    const QList<QAction*> entries = bar->actions();
    // The Options, Job and "?" menus come after the entries of the form.
    const QStringList texts = {"Load ROM File", "Save ROM File", "Upload ROM", "Version", "Update Writer",
                               "Testcode", "Quit", "Options", "Job", "?"};
    const QStringList names = {"LoadROMFile1", "SaveROMFile1", "UploadtoWriter1", "Version1", "UpdateWriter1",
                               "Testcode1", "Quit1", "OptionsMenu", "JobMenu", "HelpMenu"};
    ASSERT_EQ(entries.size(), texts.size());
    for (int i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(texts[i].toStdString());
        QAction* a = entries[i];
        EXPECT_EQ(a->text(), texts[i]);
        EXPECT_FALSE(a->text().contains('&'));
        EXPECT_TRUE(a->isVisible());
        EXPECT_TRUE(a->isEnabled());
        if (texts[i] == "Testcode" || texts[i] == "?" || texts[i] == "Options" || texts[i] == "Job") {
            ASSERT_NE(a->menu(), nullptr);
            EXPECT_EQ(a->menu()->objectName(), names[i]);
        } else {
            EXPECT_EQ(a->menu(), nullptr);  // runs when clicked on the bar itself
            EXPECT_EQ(a->objectName(), names[i]);
        }
    }
    QMenu* testcode = Find<QMenu>("Testcode1");
    const QList<QAction*> sub = testcode->actions();
    ASSERT_EQ(sub.size(), 2);
    EXPECT_EQ(sub[0]->objectName(), "Read1");
    EXPECT_EQ(sub[0]->text(), "Read");
    EXPECT_EQ(sub[1]->objectName(), "Write1");
    EXPECT_EQ(sub[1]->text(), "Write");
    const QList<QAction*> help = Find<QMenu>("HelpMenu")->actions();
    ASSERT_EQ(help.size(), 1);
    EXPECT_EQ(help[0]->objectName(), "About1");
    EXPECT_EQ(help[0]->text(), "About");
}

// Every menu is in sight at the designed size, with the Demo menu too: the
// menu bar's ">>" button hid "?" (About) with the default faces of Linux.
TEST_F(WindowTest, EveryMenuIsInSightAtTheDesignedSize) {
    for (const bool demo : {false, true}) {
        SCOPED_TRACE(demo ? "with the Demo menu" : "as built");
        MakeForm(kIni);
        if (demo) form->EnableDemo([] {});
        ShowForm();
        QMenuBar* bar = form->menuBar();
        EXPECT_EQ(form->width(), form->minimumSizeHint().width());
        QStringList seen;
        for (QAction* a : bar->actions()) {
            if (!a->isVisible()) continue;
            const QRect place = bar->actionGeometry(a);
            EXPECT_FALSE(place.isEmpty()) << a->text().toStdString();
            EXPECT_TRUE(bar->rect().contains(place)) << a->text().toStdString();
            seen << a->text();
        }
        EXPECT_EQ(seen.last(), QStringLiteral("?"));
        EXPECT_EQ(seen.contains(QStringLiteral("Demo")), demo);
        const QWidget* more = bar->findChild<QWidget*>(QStringLiteral("qt_menubar_ext_button"));
        EXPECT_TRUE(more == nullptr || !more->isVisible());
    }
}

TEST_F(WindowTest, WindowFitsItsControlsBelowTheMenuBarAndOpensCentred) {
    ShowForm();
    EXPECT_EQ(Client()->size(), QSize(612, 517));
    EXPECT_EQ(Client()->y(), form->menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(form->width(), 612);
    // It opens at its smallest size; it may grow (DumpRowsFitThePanesAtEverySize).
    EXPECT_EQ(form->size(), form->minimumSize());
    EXPECT_GT(form->maximumWidth(), form->width());
    EXPECT_GT(form->maximumHeight(), form->height());
    const QRect screen = form->screen()->availableGeometry();
    EXPECT_LE(std::abs(form->frameGeometry().center().x() - screen.center().x()), 2);
    EXPECT_LE(std::abs(form->frameGeometry().center().y() - screen.center().y()), 2);
}

// ---------------------------------------------------------------------------
// Start-up

TEST_F(WindowTest, StartUpSetsCaptionPortAndBodiesAndClearsThePanes) {
    EXPECT_EQ(form->windowTitle(), "Morvik OTP Writer V5.00 (12071000)");
    EXPECT_EQ(Find<QLineEdit>("Edit3")->text(), "COM2");
    EXPECT_EQ(Find<QLineEdit>("Edit1")->text(), "FE00");
    QComboBox* body = Find<QComboBox>("ComboBox1");
    EXPECT_EQ(Items(body), QStringList({"RX4400", "RX4720", "RX5100"}));
    EXPECT_EQ(body->currentIndex(), 0);
    EXPECT_EQ(body->maxVisibleItems(), 3);
    EXPECT_EQ(form->GetFieldText(Control::ComboBox1), "RX4400");
    EXPECT_FALSE(Find<QPlainTextEdit>("RichEdit1")->toPlainText().contains("RichEdit1"));
    EXPECT_FALSE(Find<QPlainTextEdit>("RichEdit2")->toPlainText().contains("RichEdit2"));
    EXPECT_TRUE(Find<QFrame>("Panel1")->isHidden());
    EXPECT_FALSE(form->Busy());
    EXPECT_FALSE(form->isVisible());  // shown by whoever made it
    // The port would not open: the box says which device, why, and the fix.
    ASSERT_FALSE(startupDialogs.empty());
#ifdef _WIN32
    // The Linux group's fix means nothing there; what Windows' own port
    // adds is the Windows serial port's test.
    EXPECT_TRUE(startupDialogs[0].text.startsWith("RS232 open error!!!\n/dev/ttyS1: Permission denied"))
        << startupDialogs[0].text.toStdString();
#else
    EXPECT_EQ(startupDialogs[0].text,
              "RS232 open error!!!\n/dev/ttyS1: Permission denied\n"
              "Let your user use serial ports: sudo usermod -aG dialout $USER, then log in again.");
#endif
    // The status bar says so after the box has gone.
    EXPECT_EQ(Find<QLabel>("VerdictDetail")->text().toStdString(), "The last operation failed: ERROR: RS232 open error!!!");
    // The start-up ran no handler and any box it raised was answerable.
    EXPECT_TRUE(handlersRun.empty());
    for (const SeenDialog& d : startupDialogs) {
        EXPECT_FALSE(d.clickIgnored) << d.text.toStdString();
        EXPECT_EQ(d.buttons, QMessageBox::Ok) << d.text.toStdString();
    }
}

TEST_F(WindowTest, StartUpWithoutVersionLineOrWithoutIniKeepsTheDesignCaption) {
    MakeForm("RS232_PORT COM3\nIC_BODY_START\nBODY ONE\nIC_BODY_END\n");
    EXPECT_EQ(form->windowTitle(), otp::kDesignCaption);
    EXPECT_EQ(Find<QLineEdit>("Edit3")->text(), "COM3");
    EXPECT_EQ(Items(Find<QComboBox>("ComboBox1")), QStringList({"ONE"}));

    MakeForm(nullptr);
    EXPECT_EQ(form->windowTitle(), otp::kDesignCaption);
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->count(), 0);
    EXPECT_EQ(Find<QLineEdit>("Edit3")->text(), "");
    EXPECT_FALSE(Find<QPlainTextEdit>("RichEdit2")->toPlainText().contains("RichEdit2"));
}

// ---------------------------------------------------------------------------
// View operations

TEST_F(WindowTest, PanesTakeLinesOneByOneAndKeepEmptyOnes) {
    QPlainTextEdit* upper = Find<QPlainTextEdit>("RichEdit1");
    QPlainTextEdit* lower = Find<QPlainTextEdit>("RichEdit2");
    form->ClearPane(Control::RichEdit1);
    form->ClearPane(Control::RichEdit2);
    EXPECT_EQ(upper->toPlainText(), "");
    form->AppendLine(Control::RichEdit1, "");
    form->AppendLine(Control::RichEdit1, "Program Command execution ................");
    form->AppendLine(Control::RichEdit1, "");
    form->AppendLine(Control::RichEdit1, "  -----> OTP Verify OK !!!");
    form->AppendLine(Control::RichEdit2, "\xE4\xB8\xAD 8-bit text");
    EXPECT_EQ(upper->toPlainText(), "\nProgram Command execution ................\n\n  -----> OTP Verify OK !!!");
    EXPECT_EQ(upper->document()->blockCount(), 4);
    EXPECT_EQ(lower->toPlainText(), QString::fromLatin1("\xE4\xB8\xAD 8-bit text"));  // one character a byte
    form->ClearPane(Control::RichEdit1);
    EXPECT_EQ(upper->toPlainText(), "");
    EXPECT_EQ(lower->document()->blockCount(), 1);
    form->AppendLine(Control::RichEdit1, "again");
    EXPECT_EQ(upper->toPlainText(), "again");
}

TEST_F(WindowTest, FieldsCaptionAndWrongControlsForAnOperation) {
    form->SetFieldText(Control::Edit2, "SAMPLE.ROM");
    form->SetFieldText(Control::Edit1, "1A2B");
    EXPECT_EQ(form->GetFieldText(Control::Edit2), "SAMPLE.ROM");
    EXPECT_EQ(Find<QLineEdit>("Edit1")->text(), "1A2B");
    form->SetCaption("Morvik OTP Writer  (X)");
    EXPECT_EQ(form->windowTitle(), "Morvik OTP Writer  (X)");
    EXPECT_THROW(form->AppendLine(Control::Edit1, "x"), std::logic_error);
    EXPECT_THROW(form->SetFieldText(Control::RichEdit1, "x"), std::logic_error);
    EXPECT_THROW(form->SetSelection(Control::Button1, 0), std::logic_error);
    EXPECT_THROW(form->SetMenuVisible(Control::Button1, false), std::logic_error);
}

TEST_F(WindowTest, EveryByteComesBackFromFieldsAndSelectors) {
    std::string bytes;
    for (int c = 0x20; c <= 0xFF; ++c) bytes += static_cast<char>(c);
    form->SetFieldText(Control::Edit2, bytes);
    EXPECT_EQ(form->GetFieldText(Control::Edit2), bytes);
    form->ClearChoices(Control::ComboBox1);
    form->AddChoice(Control::ComboBox1, bytes);
    form->SetSelection(Control::ComboBox1, 0);
    EXPECT_EQ(form->GetFieldText(Control::ComboBox1), bytes);
}

// A body name of 8-bit text is found in Writer.ini again when its file is saved
// and loaded through the window.
TEST_F(WindowTest, EightBitBodyNameIsSavedAndLoadedAgain) {
    MakeForm("RS232_PORT COM1\nIC_BODY_START\nBODY RX4400\nINFO $A5,0,0,0,$80,16,0,0,$80\n"
             "BODY CAF\xC9\nINFO $A5,1,0,0,$80,16,0,0,$80\nOPT\n0 00 00 BODY CAF\xC9\n0 00 00 OPTION END\n"
             "IC_BODY_END\n");
    form->operationFor = otp::OperationForHandler;
    const QString saved = dir->filePath(QString::fromUtf8("caf\xC3\xA9.rom"));  // a UTF-8 file name
    op.fileAnswer = [&](QFileDialog& d) {
        d.selectFile(saved);
        static_cast<QDialog&>(d).accept();
    };
    form->SetSelection(Control::ComboBox1, 1);
    form->SaveROMFile1Click();
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("BODY CAF\xC9\r\nOPTION END\r\n"));

    form->SetSelection(Control::ComboBox1, 0);
    op.seen.clear();
    form->LoadROMFile1Click();
    EXPECT_EQ(form->GetSelection(Control::ComboBox1), 1);
    for (const SeenDialog& d : op.seen) EXPECT_FALSE(d.text.contains(QLatin1String("Body"))) << d.text.toStdString();
}

TEST_F(WindowTest, SelectionsChoicesAndRowCounts) {
    QComboBox* body = Find<QComboBox>("ComboBox1");
    form->SetSelection(Control::ComboBox1, 2);
    EXPECT_EQ(form->GetSelection(Control::ComboBox1), 2);
    EXPECT_EQ(form->GetFieldText(Control::ComboBox1), "RX5100");
    form->SetSelection(Control::ComboBox1, 3);  // past the list: nothing selected
    EXPECT_EQ(form->GetSelection(Control::ComboBox1), -1);
    EXPECT_EQ(form->GetFieldText(Control::ComboBox1), "");
    EXPECT_EQ(body->currentText(), "");
    form->SetSelection(Control::ComboBox1, 1);
    form->SetSelection(Control::ComboBox1, -1);
    EXPECT_EQ(form->GetSelection(Control::ComboBox1), -1);

    QComboBox* lock = Find<QComboBox>("ComboBox4");
    form->SetSelection(Control::ComboBox4, 1);
    EXPECT_EQ(lock->currentText(), "ON");
    form->SetSelection(Control::ComboBox4, -1);
    EXPECT_EQ(lock->currentText(), "");
    form->SetSelection(Control::ComboBox4, 0);
    form->ClearChoices(Control::ComboBox4);
    EXPECT_EQ(lock->count(), 0);
    EXPECT_EQ(lock->currentText(), "");

    QComboBox* bank = Find<QComboBox>("ComboBox5");
    form->SetSelection(Control::ComboBox5, 4);
    form->ClearChoices(Control::ComboBox5);
    EXPECT_EQ(bank->count(), 0);
    EXPECT_EQ(form->GetSelection(Control::ComboBox5), -1);
    EXPECT_EQ(bank->currentText(), "");
    form->AddChoice(Control::ComboBox5, "Bank 0");  // a first item is not selected by adding it
    form->AddChoice(Control::ComboBox5, "Bank 1");
    form->AddChoice(Control::ComboBox5, "Last used");
    form->AddChoice(Control::ComboBox5, "1st Un-use");
    EXPECT_EQ(Items(bank), QStringList({"Bank 0", "Bank 1", "Last used", "1st Un-use"}));
    EXPECT_EQ(form->GetSelection(Control::ComboBox5), -1);
    form->SetSelection(Control::ComboBox5, 1);
    form->AddChoice(Control::ComboBox5, "extra");
    EXPECT_EQ(form->GetSelection(Control::ComboBox5), 1);
    EXPECT_EQ(bank->currentText(), "Bank 1");

    form->SetDropDownCount(Control::ComboBox5, 4);
    EXPECT_EQ(bank->maxVisibleItems(), 4);
    form->SetDropDownCount(Control::ComboBox1, 64);
    EXPECT_EQ(body->maxVisibleItems(), 64);
    EXPECT_TRUE(handlersRun.empty());
}

TEST_F(WindowTest, EnablingControlsAndTheTestcodeMenu) {
    for (Control c : {Control::ComboBox3, Control::ComboBox4, Control::ComboBox5, Control::Button1,
                      Control::Button2}) {
        SCOPED_TRACE(otp::ControlName(c));
        QWidget* w = Find<QWidget>(otp::ControlName(c));
        EXPECT_TRUE(w->isEnabled());
        form->SetEnabled(c, false);
        EXPECT_FALSE(w->isEnabled());
        form->SetEnabled(c, true);
        EXPECT_TRUE(w->isEnabled());
    }
    QAction* testcode = Find<QMenu>("Testcode1")->menuAction();
    QAction* write = Find<QAction>("Write1");
    ShowForm();
    form->SetMenuVisible(Control::Testcode1, false);
    EXPECT_FALSE(testcode->isVisible());
    EXPECT_TRUE(form->menuBar()->actionGeometry(testcode).isEmpty());
    EXPECT_FALSE(form->menuBar()->actionGeometry(Find<QAction>("Quit1")).isEmpty());
    form->SetMenuVisible(Control::Testcode1, true);
    EXPECT_TRUE(testcode->isVisible());
    form->SetMenuEnabled(Control::Write1, false);
    EXPECT_FALSE(write->isEnabled());
    EXPECT_TRUE(Find<QAction>("Read1")->isEnabled());
    form->SetMenuEnabled(Control::Write1, true);
    EXPECT_TRUE(write->isEnabled());
}

TEST_F(WindowTest, ProgressPanelShowsStepsAndNeverBecomesABusyIndicator) {
    QFrame* panel = Find<QFrame>("Panel1");
    QProgressBar* bar = Find<QProgressBar>("ProgressBar1");
    form->SetProgressMax(40);
    form->ShowProgress(true);
    EXPECT_FALSE(panel->isHidden());
    for (int i = 0; i < 40; ++i) form->SetProgressPosition(i);
    EXPECT_EQ(bar->maximum(), 40);
    EXPECT_EQ(bar->value(), 39);
    EXPECT_EQ(bar->minimum(), 0);
    form->ShowProgress(false);
    EXPECT_TRUE(panel->isHidden());
    form->SetProgressMax(0);
    form->SetProgressPosition(0);
    EXPECT_GT(bar->maximum(), bar->minimum());
    EXPECT_EQ(bar->value(), 0);
}

// ---------------------------------------------------------------------------
// Dialogs

TEST_F(WindowTest, NoticeConfirmationAndErrorBoxes) {
    form->ShowNotice("The body is not available !!!");
    ASSERT_EQ(op.seen.size(), 1u);
    EXPECT_EQ(op.seen[0].title, otp::kApplicationTitle);
    EXPECT_EQ(op.seen[0].text, "The body is not available !!!");
    EXPECT_EQ(op.seen[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(op.seen[0].buttons, QMessageBox::Ok);
    EXPECT_FALSE(op.seen[0].hadParent);

    op.boxAnswers = {QMessageBox::Yes, QMessageBox::No};
    EXPECT_TRUE(form->AskYesNo("Are you really to update the writer?"));
    EXPECT_FALSE(form->AskYesNo("Are you really to update the writer?"));
    EXPECT_FALSE(form->AskYesNo("Escape answers No"));
    ASSERT_EQ(op.seen.size(), 4u);
    EXPECT_EQ(op.seen[1].title, otp::kConfirmTitle);
    EXPECT_EQ(op.seen[1].icon, QMessageBox::Question);
    EXPECT_EQ(op.seen[1].buttons, QMessageBox::Yes | QMessageBox::No);

    form->ShowErrorBox("ERROR", "RS232 open error!!!", false);
    ASSERT_EQ(op.seen.size(), 5u);
    EXPECT_EQ(op.seen[4].title, "ERROR");
    EXPECT_EQ(op.seen[4].text, "RS232 open error!!!");
    EXPECT_EQ(op.seen[4].icon, QMessageBox::NoIcon);
    EXPECT_EQ(op.seen[4].buttons, QMessageBox::Ok);
    EXPECT_FALSE(op.seen[4].hadParent);

    ShowForm();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->ShowErrorBox("Download error", "Please check download code & read back code", true);
    ASSERT_EQ(op.seen.size(), 6u);
    EXPECT_EQ(op.seen[5].title, "Download error");
    EXPECT_EQ(op.seen[5].text, "Please check download code & read back code");
    EXPECT_EQ(op.seen[5].icon, QMessageBox::Critical);
    EXPECT_EQ(op.seen[5].parent.data(), form.get());
    for (const SeenDialog& d : op.seen) EXPECT_FALSE(d.clickIgnored) << d.text.toStdString();
}

// Enter, which takes the program's own confirmations, never loads a damaged
// ROM file: that question's default button is No.
TEST_F(WindowTest, EnterDoesNotLoadADamagedRomFile) {
    otp::VirtualPacer clock;
    auto demo = otp::emu::MakeDemoOpener(clock);
    form.reset();
    QFile::remove(dir->filePath("Writer.ini"));
    ASSERT_TRUE(QFile::copy(OTP_SOURCE_DIR "/examples/Writer.ini", dir->filePath("Writer.ini")));
    QFile demoRom(OTP_SOURCE_DIR "/examples/demo-rx4400.rom");
    ASSERT_TRUE(demoRom.open(QIODevice::ReadOnly));
    const QByteArray rom = demoRom.readAll();
    QFile cut(dir->filePath("cut.rom"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(rom.left(rom.indexOf("CHECKSUM")));
    cut.close();
    form = std::make_unique<TForm1>(*demo, dir->path().toStdString(), nullptr, &clock);
    ShowForm();
    const struct {
        const char* name;
        QMessageBox::StandardButton answer;
        bool loaded;
    } cases[] = {
        {"Enter", QMessageBox::NoButton, false},
        {"a click on Yes", QMessageBox::Yes, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        op.seen.clear();
        op.boxAnswers = {c.answer};
        op.fileAnswer = [this](QFileDialog& d) {
            d.selectFile(dir->filePath("cut.rom"));
            static_cast<QDialog&>(d).accept();
        };
        form->LoadROMFile1Click();
        ASSERT_EQ(op.seen.size(), 2u);
        EXPECT_TRUE(op.seen[1].text.startsWith("The ROM file [cut.rom] is damaged (")) << op.seen[1].text.toStdString();
        EXPECT_EQ(op.seen[1].buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_FALSE(op.seen[1].clickIgnored);
        EXPECT_EQ(Find<QPlainTextEdit>("RichEdit1")->toPlainText().contains("Object Checksum"), c.loaded);
    }
}

TEST_F(WindowTest, FileDialogsOfferRomFilesFirstAndAddTheDefaultExtension) {
    const QString existing = dir->filePath("SAMPLE.ROM");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    op.fileAnswer = [&](QFileDialog& d) {
        d.selectFile(existing);
        static_cast<QDialog&>(d).accept();  // the Open or Save button
    };
    EXPECT_EQ(form->ChooseOpenFile(), existing.toStdString());
    // Saving over a file asks nothing; a name without extension gets ".rom".
    EXPECT_EQ(form->ChooseSaveFile(), existing.toStdString());
    op.fileAnswer = [&](QFileDialog& d) {
        d.selectFile(dir->filePath("copy"));
        static_cast<QDialog&>(d).accept();  // the Open or Save button
    };
    EXPECT_EQ(form->ChooseSaveFile(), dir->filePath("copy.rom").toStdString());
    op.fileAnswer = nullptr;  // cancel
    EXPECT_EQ(form->ChooseOpenFile(), std::nullopt);
    EXPECT_EQ(form->ChooseSaveFile(), std::nullopt);

    ASSERT_EQ(op.seen.size(), 5u);
    const QStringList filters = {"rom file (.rom) (*.rom)", "all file (*.*) (*)"};
    for (const SeenDialog& d : op.seen) {
        EXPECT_EQ(d.className, "QFileDialog");  // no overwrite question came up
        EXPECT_EQ(d.nameFilters, filters);
        EXPECT_EQ(d.selectedNameFilter, filters[0]);
        EXPECT_EQ(d.defaultSuffix, "rom");
        EXPECT_EQ(d.parent.data(), form.get());
    }
    EXPECT_EQ(op.seen[0].objectName, "OpenDialog1");
    EXPECT_EQ(op.seen[0].acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(op.seen[1].objectName, "SaveDialog1");
    EXPECT_EQ(op.seen[1].acceptMode, QFileDialog::AcceptSave);
}

TEST(FileDialogFilter, TranslatesDescriptionPatternPairs) {
    EXPECT_EQ(otp::QtNameFilters(otp::kRomFileFilter),
              QStringList({"rom file (.rom) (*.rom)", "all file (*.*) (*)"}));
    EXPECT_EQ(otp::QtNameFilters("Text|*.txt;*.log"), QStringList({"Text (*.txt *.log)"}));
    EXPECT_EQ(otp::QtNameFilters("Images|*.png|dangling"), QStringList({"Images (*.png)"}));
    EXPECT_TRUE(otp::QtNameFilters("").isEmpty());
}

// ---------------------------------------------------------------------------
// Events and handlers

TEST(WindowHandlers, EveryHandlerIsAMethodAndEveryOperationBelongsToAHandler) {
    const auto& names = otp::WindowHandlerNames();
    EXPECT_EQ(names.size(), 18u);
    for (const std::string& name : names) {
        const QByteArray signature = QByteArray::fromStdString(name) + "()";
        EXPECT_GE(TForm1::staticMetaObject.indexOfSlot(signature.constData()), 0) << name;
    }
    for (const std::string& name : otp::HandlersWithOperation()) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
        EXPECT_TRUE(static_cast<bool>(otp::OperationForHandler(name))) << name;
    }
    EXPECT_TRUE(static_cast<bool>(otp::OperationForHandler("Quit1Click")));
    EXPECT_FALSE(static_cast<bool>(otp::OperationForHandler("NoSuchClick")));
}

// Each handler runs, once, on the signal of its own control, is named after
// that control and its event, and calls the operation of its own name; every
// button, selector and menu command of the window has one.
TEST_F(WindowTest, EveryListedHandlerRunsOnItsControlsSignalAndIsNamedAfterIt) {
    QStringList listedControls;
    for (const ListedHandler& h : ListedHandlers()) {
        SCOPED_TRACE(h.handler);
        listedControls << QString::fromStdString(h.control);
        QObject* control = Find<QObject>(h.control.c_str());
        ASSERT_NE(control, nullptr);
        const char* event = qobject_cast<QComboBox*>(control) != nullptr ? "Change" : "Click";
        EXPECT_EQ(h.handler, h.control + event);
        EXPECT_EQ(h.operation, h.handler);
        handlersRun.clear();
        ASSERT_TRUE(h.fire(control));
        EXPECT_EQ(handlersRun, Strings({h.handler}));
    }
    QStringList controls;
    for (QPushButton* button : Client()->findChildren<QPushButton*>()) controls << button->objectName();
    for (QComboBox* box : Client()->findChildren<QComboBox*>()) controls << box->objectName();
    // The "?" menu's About, the Options and Job menus' entries and the
    // production key (Auto's click by another way) are the window's own,
    // outside the list of operations.
    QList<QAction*> own = Find<QMenu>("HelpMenu")->actions();
    own << Find<QMenu>("OptionsMenu")->actions() << Find<QMenu>("JobMenu")->actions() << Find<QAction>("ProductionKey");
    for (QAction* action : form->findChildren<QAction*>())
        if (!action->objectName().isEmpty() && action->menu() == nullptr && !own.contains(action))
            controls << action->objectName();
    controls.sort();
    listedControls.sort();
    EXPECT_EQ(listedControls, controls);
}

TEST_F(WindowTest, ButtonsRunTheirHandlersWhenClicked) {
    ShowForm();
    Strings expected;
    for (const ListedHandler& h : ListedHandlers()) {
        QPushButton* button = Find<QPushButton>(h.control.c_str());
        if (button == nullptr) continue;
        QTest::mouseClick(button, Qt::LeftButton);
        expected.push_back(h.handler);
    }
    EXPECT_EQ(expected, Strings({"Button1Click", "Button2Click", "Button3Click", "Button4Click", "Button5Click",
                                 "Button6Click"}));
    EXPECT_EQ(handlersRun, expected);
    EXPECT_FALSE(Find<QPushButton>("Button5")->text() == "Read");  // Read is Button6
}

// F5, the production key (a foot switch sends it), starts Auto as a click
// does: once per press, never from a key held down, never while a handler
// runs, and not while Auto cannot be clicked.
TEST_F(WindowTest, TheProductionKeyStartsAutoOncePerPress) {
    ShowForm();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QWidget* focus = Find<QPushButton>("Button4");
    focus->setFocus();
    const auto press = [&](bool repeat) {
        QTest::simulateEvent(focus, true, kProductionKey, Qt::NoModifier, QString(), repeat);
        QTest::simulateEvent(focus, false, kProductionKey, Qt::NoModifier, QString(), repeat);
        QCoreApplication::processEvents();
    };
    const struct {
        const char* name;
        std::function<void()> act;
        size_t autos;  // Button1Click runs after it
    } rows[] = {
        {"a press starts Auto", [&] { press(false); }, 1},
        {"a key held down repeats, and starts nothing more", [&] { for (int i = 0; i < 5; ++i) press(true); }, 1},
        {"a press during a handler starts nothing, then or later",
         [&] {
             form->handlerObserver = [&](const std::string& name) {
                 handlersRun.push_back(name);
                 if (name == "Button2Click") press(false);
             };
             QTest::mouseClick(Find<QPushButton>("Button2"), Qt::LeftButton);
             QCoreApplication::processEvents();
         },
         1},
        {"a press while Auto is disabled starts nothing",
         [&] {
             form->SetEnabled(Control::Button1, false);
             press(false);
             form->SetEnabled(Control::Button1, true);
         },
         1},
        {"the next press starts the next chip", [&] { press(false); }, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.act();
        EXPECT_EQ(static_cast<size_t>(std::count(handlersRun.begin(), handlersRun.end(), "Button1Click")), row.autos);
    }
    EXPECT_NE(Find<QPushButton>("Button1")->toolTip().indexOf(QStringLiteral("(F5)")), -1);
}

TEST_F(WindowTest, MenuEntriesRunTheirHandlersFromTheBarAndTheSubMenu) {
    ShowForm();
    QMenuBar* bar = form->menuBar();
    Strings expected;
    // The sub-menu first: an upload without a writer hides it, as the body
    // description it leaves has no test code.
    QMenu* testcode = Find<QMenu>("Testcode1");
    for (const char* name : {"Read1", "Write1"}) {
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(testcode->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return testcode->isVisible(); }, 2000)) << name;
        const QRect r = testcode->actionGeometry(Find<QAction>(name));
        QTest::mouseClick(testcode, Qt::LeftButton, Qt::NoModifier, r.center());
        expected.push_back(std::string(name) + "Click");
    }
    EXPECT_EQ(handlersRun, expected);

    for (const char* name : {"LoadROMFile1", "SaveROMFile1", "UploadtoWriter1", "Version1", "UpdateWriter1"}) {
        QAction* a = Find<QAction>(name);
        const QRect r = bar->actionGeometry(a);
        ASSERT_FALSE(r.isEmpty()) << name;
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, r.center());
        expected.push_back(std::string(name) + "Click");
    }
    EXPECT_EQ(handlersRun, expected);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(WindowTest, QuitAndTheCloseBoxCloseTheWindow) {
    ShowForm();
    form->operationFor = otp::OperationForHandler;
    QMenuBar* bar = form->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(Find<QAction>("Quit1")).center());
    EXPECT_EQ(handlersRun, Strings({"Quit1Click"}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(op.seen.empty());  // no confirmation

    MakeForm(kIni);
    ShowForm();
    EXPECT_TRUE(form->windowHandle()->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(handlersRun.empty());
}

TEST_F(WindowTest, OnlyTheOperatorsPickRunsASelectorHandler) {
    ShowForm();
    // Selections made by the logic run nothing.
    form->SetSelection(Control::ComboBox1, 2);
    form->SetSelection(Control::ComboBox3, 1);
    form->SetSelection(Control::ComboBox4, 1);
    form->SetSelection(Control::ComboBox5, 7);
    form->SetSelection(Control::ComboBox5, -1);
    form->ClearChoices(Control::ComboBox5);
    for (const std::string& item : otp::DesignBankItems()) form->AddChoice(Control::ComboBox5, item);
    form->SetSelection(Control::ComboBox5, 0);
    EXPECT_TRUE(handlersRun.empty());

    // The operator picks with the keyboard...
    form->SetSelection(Control::ComboBox1, 0);
    QTest::keyClick(Find<QComboBox>("ComboBox1"), Qt::Key_Down);
    EXPECT_EQ(form->GetSelection(Control::ComboBox1), 1);
    form->SetSelection(Control::ComboBox3, 0);
    QTest::keyClick(Find<QComboBox>("ComboBox3"), Qt::Key_Down);
    EXPECT_EQ(form->GetSelection(Control::ComboBox3), 1);
    EXPECT_EQ(handlersRun, Strings({"ComboBox1Change", "ComboBox3Change"}));

    // ... or from the open list.
    QComboBox* bank = Find<QComboBox>("ComboBox5");
    bank->showPopup();
    QAbstractItemView* list = bank->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QRect item = list->visualRect(list->model()->index(8, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    EXPECT_EQ(form->GetSelection(Control::ComboBox5), 8);
    EXPECT_EQ(bank->currentText(), "Last Used");
    EXPECT_EQ(handlersRun, Strings({"ComboBox1Change", "ComboBox3Change", "ComboBox5Change"}));
}

// The lock selector's handler runs on a typed text that names an option in
// full, in any case, and on nothing less: the option the operator typed or
// none. Leaving a text that names none shows the selected option again.
TEST_F(WindowTest, TypingAnOptionsNameIntoTheLockSelectorRunsItsHandler) {
    ShowForm();
    QComboBox* lock = Find<QComboBox>("ComboBox4");
    const struct {
        int from;          // the option selected before
        const char* typed;
        size_t runs;
        int selection;     // after the typing
        const char* left;  // the text after Enter
    } cases[] = {
        {0, "ON", 1, 1, "ON"},   {0, "on", 1, 1, "on"}, {1, "off", 1, 0, "off"}, {1, "o", 0, 1, "ON"},
        {1, "OF", 0, 1, "ON"},   {0, "ox", 0, 0, "OFF"}, {0, "onx", 1, 1, "ON"},  {1, "", 0, 1, "ON"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        form->SetSelection(Control::ComboBox4, c.from);
        handlersRun.clear();
        lock->lineEdit()->selectAll();
        if (*c.typed == '\0')
            QTest::keyClick(lock->lineEdit(), Qt::Key_Delete);
        else
            QTest::keyClicks(lock->lineEdit(), c.typed);
        EXPECT_EQ(handlersRun.size(), c.runs);
        EXPECT_EQ(lock->currentText(), *c.typed ? c.typed : "");
        EXPECT_EQ(form->GetSelection(Control::ComboBox4), c.selection);
        QTest::keyClick(lock->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(lock->currentText(), c.left);
        EXPECT_EQ(form->GetSelection(Control::ComboBox4), c.selection);
        EXPECT_EQ(handlersRun.size(), c.runs);
    }
    // A pick from the list runs it too; a selection from code does not.
    handlersRun.clear();
    form->SetSelection(Control::ComboBox4, 0);
    QTest::keyClick(lock, Qt::Key_Down);
    EXPECT_EQ(handlersRun.size(), 1u);
    form->SetSelection(Control::ComboBox4, 0);
    EXPECT_EQ(handlersRun.size(), 1u);
    EXPECT_EQ(lock->count(), 2);  // typing adds no items
}

// ---------------------------------------------------------------------------
// While a handler runs

TEST_F(WindowTest, WhileAHandlerRunsTheWindowTakesNoInputButDialogsDo) {
    ShowForm();
    QPushButton* program = Find<QPushButton>("Button3");
    bool nestedRan = false;
    std::optional<std::string> chosen = "not asked";
    form->handlerObserver = [&](const std::string& name) {
        handlersRun.push_back(name);
        if (handlersRun.size() != 1) return;
        EXPECT_TRUE(form->Busy());
        PostClick(program);
        PostKey(Find<QComboBox>("ComboBox1"), Qt::Key_Down);
        PostKey(form->menuBar(), Qt::Key_Alt);
        form->RunHandler("Nested", [&] { nestedRan = true; });
        form->pacer().Sleep(30);  // the window paints and sees the input meanwhile
        // Boxes and dialogs the handler raises are answered as usual, also
        // those the window owns.
        form->ShowNotice("Body not found in ROM file!!! ");
        form->ShowErrorBox("Download error", "Please check download code & read back code", true);
        chosen = form->ChooseOpenFile();
    };
    op.fileAnswer = [](QFileDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); };
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::mouseClick(Find<QPushButton>("Button2"), Qt::LeftButton);
    QCoreApplication::processEvents();

    EXPECT_EQ(handlersRun, Strings({"Button2Click"}));
    EXPECT_FALSE(nestedRan);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->GetSelection(Control::ComboBox1), 0);
    ASSERT_EQ(op.seen.size(), 3u);
    EXPECT_EQ(op.seen[1].parent.data(), form.get());
    EXPECT_EQ(op.seen[2].parent.data(), form.get());
    for (const SeenDialog& d : op.seen) EXPECT_FALSE(d.clickIgnored) << d.className.toStdString();
    EXPECT_EQ(chosen, std::nullopt);
    EXPECT_FALSE(form->Busy());

    // The same input reaches an idle window.
    PostClick(program);
    QCoreApplication::processEvents();
    EXPECT_EQ(handlersRun, Strings({"Button2Click", "Button3Click"}));
}

// The window ends only between operations: the close box, SIGTERM, SIGINT
// or SIGHUP during Auto let it finish and write its row, then the window
// closes; each signal is answered, a second one too; while idle it closes
// at once.
TEST_F(WindowTest, TheWindowEndsOnlyOnceTheOperationUnderWayIsRecorded) {
#ifdef _WIN32
    GTEST_SKIP() << "signals are POSIX's; the end of a Windows session is the session manager's";
#else
    const std::string busy = ": the window closes once the operation under way has ended and is recorded";
    const struct {
        const char* name;
        std::function<void()> during;  // inside Auto
        std::vector<std::string> said;
    } rows[] = {
        {"the close box", [&] { EXPECT_FALSE(form->windowHandle()->close()); }, {}},
        {"SIGTERM", [] { raise(SIGTERM); }, {"otpwriter: SIGTERM" + busy}},
        {"SIGINT twice", [] { raise(SIGINT); raise(SIGINT); },
         {"otpwriter: SIGINT" + busy, "otpwriter: SIGINT" + busy + " (already asked)"}},
        {"SIGHUP while idle", nullptr, {"otpwriter: SIGHUP: the window closes now"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        otp::VirtualPacer clock;
        auto demo = otp::emu::MakeDemoOpener(clock);
        std::ostringstream said;
        form.reset();
        otp::EndRequests ends(said);
        form = std::make_unique<TForm1>(*demo, OTP_SOURCE_DIR "/examples", nullptr, &clock);
        ends.Attach([this] { return form->Busy(); }, [this] { form->CloseWhenIdle(); }, form.get());
        const std::string log = dir->filePath("run.csv").toStdString();
        std::remove(log.c_str());
        form->UseProductionLog(log);
        ShowForm();
        bool closedDuring = false;
        form->handlerObserver = [&](const std::string& name) {
            if (name != "Button1Click" || !row.during) return;
            row.during();
            // What the window's pump does while an operation waits.
            QCoreApplication::processEvents();
            closedDuring = !form->isVisible();
        };
        if (row.during) {
            QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
        } else {
            raise(SIGHUP);
        }
        QTest::qWait(50);
        EXPECT_FALSE(closedDuring);
        EXPECT_FALSE(form->isVisible());
        Strings lines;
        for (const QString& line : QString::fromStdString(said.str()).split('\n', Qt::SkipEmptyParts))
            lines.push_back(line.toStdString());
        EXPECT_EQ(lines, row.said);
        QFile file(QString::fromStdString(log));
        const QStringList rowsWritten = file.open(QIODevice::ReadOnly)
                                            ? QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
                                            : QStringList();
        EXPECT_EQ(rowsWritten.size(), row.during ? 2 : 1) << rowsWritten.join('|').toStdString();
        if (row.during) { EXPECT_TRUE(rowsWritten.back().contains(QStringLiteral(",auto,RX4400,"))); }
    }
#endif
}

// The image download's stream: a byte, a 1 ms pause, a progress step, over
// and over. The window paints and runs its events at most once an interval
// of the pump, and the last step shows with the next pause.
TEST_F(WindowTest, AStreamOfSmallStepsPaintsAtMostOnceAnIntervalAndShowsItsLastStep) {
    ShowForm();
    QProgressBar* bar = Find<QProgressBar>("ProgressBar1");
    QPlainTextEdit* lower = Find<QPlainTextEdit>("RichEdit2");
    PaintCounter barPaints(bar, [bar] { return bar->value(); });
    PaintCounter panePaints(lower->viewport(), [lower] { return lower->document()->blockCount(); });
    constexpr int kSteps = 400;
    const qint64 interval = otp::EventPump::kInterval.count();
    form->RunHandler("Stream", [&] {
        form->SetProgressMax(kSteps);
        form->ShowProgress(true);
        form->ClearPane(Control::RichEdit2);
        Heartbeat events;
        const int barBefore = barPaints.count;
        const int paneBefore = panePaints.count;
        QElapsedTimer wall;
        wall.start();
        for (int i = 0; i < kSteps; ++i) {
            form->pacer().Sleep(1);
            form->SetProgressPosition(i);
            if (i % 20 == 19) form->AppendLine(Control::RichEdit2, "Line " + std::to_string(i));
        }
        // One at the start, one for a run that began as the clock was read.
        const qint64 most = wall.elapsed() / interval + 2;
        EXPECT_LE(events.beats, most);
        EXPECT_LE(barPaints.count - barBefore, most);
        EXPECT_LE(panePaints.count - paneBefore, most);
        EXPECT_GT(barPaints.count - barBefore, 0);  // it did paint meanwhile

        form->pacer().Sleep(static_cast<int>(interval) + 1);
        EXPECT_EQ(barPaints.lastShown, kSteps - 1);
        EXPECT_EQ(panePaints.lastShown, lower->document()->blockCount());
    });
}

// A handler that ends right after its last step still shows it, whatever it
// did before.
TEST_F(WindowTest, TheLastStepOfAHandlerShowsWhenItEnds) {
    ShowForm();
    QProgressBar* bar = Find<QProgressBar>("ProgressBar1");
    QPlainTextEdit* lower = Find<QPlainTextEdit>("RichEdit2");
    PaintCounter barPaints(bar, [bar] { return bar->value(); });
    PaintCounter panePaints(lower->viewport(), [lower] { return lower->document()->blockCount(); });
    struct Case {
        const char* name;
        int steps;
        int pauseMs;  // before each step
    };
    const Case cases[] = {{"one step", 1, 0}, {"steps without pauses", 50, 0}, {"steps with short pauses", 50, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->RunHandler(c.name, [&] {
            form->SetProgressMax(c.steps + 1);
            form->ShowProgress(true);
            for (int i = 1; i <= c.steps; ++i) {
                if (c.pauseMs > 0) form->pacer().Sleep(c.pauseMs);
                form->SetProgressPosition(i);
                form->AppendLine(Control::RichEdit2, c.name);
            }
        });
        EXPECT_EQ(bar->value(), c.steps);
        EXPECT_EQ(barPaints.lastShown, c.steps);
        EXPECT_EQ(panePaints.lastShown, lower->document()->blockCount());
    }
}

TEST_F(WindowTest, AnExceptionEndsTheHandlerAndIsShownInABox) {
    bool after = false;
    form->RunHandler("Boom", [&] {
        throw std::runtime_error("image buffer overrun");
        after = true;
    });
    EXPECT_FALSE(after);
    ASSERT_EQ(op.seen.size(), 1u);
    EXPECT_EQ(op.seen[0].text, "image buffer overrun");
    EXPECT_EQ(op.seen[0].title, otp::kApplicationTitle);
    EXPECT_EQ(op.seen[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(op.seen[0].clickIgnored);
    EXPECT_FALSE(form->Busy());

    form->RunHandler("Odd", [] { throw 42; });
    ASSERT_EQ(op.seen.size(), 2u);
    EXPECT_FALSE(op.seen[1].text.isEmpty());

    bool ran = false;
    form->RunHandler("Next", [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(handlersRun, Strings({"Boom", "Odd", "Next"}));
}

// A long pause (a block read, a programming wait) goes on painting what the
// window system asks for meanwhile, as when the window is covered and
// uncovered, and keeps the operator's input away.
TEST_F(WindowTest, ALongPausePaintsWhatIsAskedForMeanwhileAndTakesNoInput) {
    ShowForm();
    QWidget* pane = Find<QPlainTextEdit>("RichEdit1")->viewport();
    std::string order;  // 'a': a repaint asked for, 'p': a paint
    PaintCounter paints(pane, [&order] {
        order += 'p';
        return 0;
    });
    QTimer uncover;
    uncover.setInterval(40);
    QObject::connect(&uncover, &QTimer::timeout, [&] {
        order += 'a';
        pane->update();
    });
    PostClick(Find<QPushButton>("Button4"));
    otp::Pacer& pacer = form->pacer();
    constexpr int kPauseMs = 1000;
    qint64 slept = 0;
    int64_t pacerMs = 0;
    form->RunHandler("Read", [&] {
        QElapsedTimer wall;
        wall.start();
        const int64_t start = pacer.NowMs();
        uncover.start();
        pacer.Sleep(kPauseMs);
        uncover.stop();
        slept = wall.elapsed();
        pacerMs = pacer.NowMs() - start;
        order += 'e';
    });

    EXPECT_GE(slept, kPauseMs);
    EXPECT_GE(pacerMs, kPauseMs);
    // Every repaint asked for before the last was done before the pause ended.
    const size_t lastAsk = order.rfind('a');
    ASSERT_NE(lastAsk, std::string::npos) << order;
    size_t ask = 0;
    for (int n = 0; (ask = order.find('a', ask)) != lastAsk; ++n, ++ask)
        EXPECT_LT(order.find('p', ask), order.find('e')) << "request " << n << " in " << order;
    EXPECT_GE(std::count(order.begin(), order.end(), 'a'), 2) << order;
    // The click that came during the pause went nowhere.
    EXPECT_EQ(handlersRun, Strings({"Read"}));
    EXPECT_FALSE(form->Busy());
}

// `otpwriter --demo` on a machine with four busy processes a core: the image
// stream keeps within the emulated writer's patience, so the load passes and
// the writer holds the file's image.
#ifndef _WIN32
TEST_F(WindowTest, LoadingTheDemoImageOnABusyMachinePasses) {
    otp::test::BusyLoad load(4, 300);
    ASSERT_GT(load.Count(), 0u);
    otp::test::Favour(getpid());  // the window and its writer, as a line's PC would run them
    otp::RealPacer clock;
    auto demo = otp::emu::MakeDemoOpener(clock);
    form.reset();
    op.seen.clear();
    std::string told;  // what the writer says of a host that lost its pace
    demo->Writer().SetLineReporter([&told](const std::string& line) { told += line + "\n"; });
    form = std::make_unique<TForm1>(*demo, OTP_SOURCE_DIR "/examples");
    ASSERT_TRUE(op.seen.empty());
    ASSERT_TRUE(Find<QPlainTextEdit>("RichEdit2")->toPlainText().contains("COM1 Connect OK !!!"));
    ShowForm();
    op.fileAnswer = [](QFileDialog& d) {
        d.selectFile(QStringLiteral(OTP_SOURCE_DIR "/examples/demo-rx4400.rom"));
        static_cast<QDialog&>(d).accept();
    };
    form->LoadROMFile1Click();
    load.Stop();

    const std::string lower = Find<QPlainTextEdit>("RichEdit2")->toPlainText().toStdString();
    EXPECT_EQ(told, "");
    std::string boxes;
    for (const SeenDialog& d : op.seen) boxes += (d.title + ": " + d.text + "\n").toStdString();
    ASSERT_EQ(op.seen.size(), 1u) << boxes << lower;  // the file dialog, and no error box
    EXPECT_EQ(op.seen[0].className, "QFileDialog");
    EXPECT_EQ(lower.find("error"), std::string::npos) << lower;
    EXPECT_NE(lower.find("Receiver Data Length = 1024 bytes\nObject Checksum =FE00"), std::string::npos) << lower;
    const otp::WriterState& state = form->session().ctx().state;
    const std::vector<uint8_t> held = demo->Writer().ReadMemory(otp::emu::WriterEmulator::kImageAddr, 1024);
    for (size_t i = 0; i < held.size(); ++i) ASSERT_EQ(int{held[i]}, state.RomImage[i] & 0xFF) << "image byte " << i;
}
#endif

TEST_F(WindowTest, AgainstAWriterThatAnswersTheStartUpFillsTheWindow) {
    // The emulated writer on test time: the start-up's waits cost nothing.
    otp::VirtualPacer clock;
    auto demo = otp::emu::MakeDemoOpener(clock);
    form.reset();
    op.seen.clear();
    form = std::make_unique<TForm1>(*demo, dir->path().toStdString(), nullptr, &clock);
    form->handlerObserver = [this](const std::string& name) { handlersRun.push_back(name); };
    EXPECT_GE(demo->OpenCount(), 1);
    EXPECT_EQ(&form->pacer(), &clock);
    EXPECT_TRUE(op.seen.empty());
    EXPECT_TRUE(Find<QPlainTextEdit>("RichEdit2")->toPlainText().contains("Connect OK !!!"));
    EXPECT_TRUE(Find<QPlainTextEdit>("RichEdit1")->toPlainText().contains("Receiver Data Length = 16 bytes"));
    EXPECT_TRUE(Find<QFrame>("Panel1")->isHidden());
    EXPECT_TRUE(handlersRun.empty());
    ShowForm();
    EXPECT_TRUE(form->grab().save(QStringLiteral(OTP_BINARY_DIR "/window-writer.png")));

    // The buttons, menu entries and selectors run their operations.
    QTest::mouseClick(Find<QPushButton>("Button2"), Qt::LeftButton);
    EXPECT_TRUE(Find<QPlainTextEdit>("RichEdit2")->toPlainText().startsWith(
        "Blank Check Command execution ................\nBlank Check ................\n"));
    QMenuBar* bar = form->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(Find<QAction>("Version1")).center());
    EXPECT_EQ(Find<QPlainTextEdit>("RichEdit2")->toPlainText(), "Version : 12071000\nReceiver Data Length = 8 bytes");
    QTest::keyClick(Find<QComboBox>("ComboBox4"), Qt::Key_Down);
    EXPECT_TRUE(Find<QPlainTextEdit>("RichEdit2")->toPlainText().endsWith("Receiver Data Length = 16 bytes"));
    EXPECT_EQ(form->GetSelection(Control::ComboBox4), 1);
    EXPECT_EQ(handlersRun, Strings({"Button2Click", "Version1Click", "ComboBox4Change"}));
}

// A production session in demo mode: each chip operation shows its verdict
// and counts in the status bar, a used chip fails, Next chip puts a fresh
// one in, and Reset starts the counts again.
TEST_F(WindowTest, TheStatusBarShowsEachVerdictAndTheCounts) {
    otp::VirtualPacer clock;
    auto demo = otp::emu::MakeDemoOpener(clock);
    form.reset();
    op.seen.clear();
    form = std::make_unique<TForm1>(*demo, OTP_SOURCE_DIR "/examples", nullptr, &clock);
    form->EnableDemo([&demo] { otp::emu::PutInSocket(demo->Writer(), otp::emu::IcKind::Blank); });
    ShowForm();
    op.fileAnswer = [](QFileDialog& d) {
        d.selectFile(QStringLiteral(OTP_SOURCE_DIR "/examples/demo-rx4400.rom"));
        static_cast<QDialog&>(d).accept();
    };
    form->LoadROMFile1Click();
    op.seen.clear();
    EXPECT_FALSE(Find<QLabel>("DemoNotice")->isHidden());
    const QList<QAction*> entries = form->menuBar()->actions();
    ASSERT_GE(entries.size(), 2);
    EXPECT_EQ(entries[entries.size() - 2]->text(), "Demo");
    EXPECT_EQ(entries.back()->text(), "?");  // "?" stays last
    const auto fault = [&demo](const std::string& rule) {
        std::string error;
        ASSERT_TRUE(demo->Writer().AddFault(rule, error)) << error;
    };
    const auto shown = [this] {
        return (Find<QLabel>("Verdict")->text() + " | " + Find<QLabel>("VerdictDetail")->text() + " | " +
                Find<QLabel>("ChipCounts")->text())
            .toStdString();
    };
    const struct {
        const char* name;
        std::function<void()> act;
        std::string bar;
        const char* screenshot;
    } steps[] = {
        {"a blank chip passes Auto", [&] { QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton); },
         "PASS | The chip passed | Chips 1: passed 1, failed 0, yield 100.0 %", "window-pass.png"},
        {"the same chip fails Auto", [&] { QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton); },
         "FAIL | OTP Blank Check Fail !!! | Chips 2: passed 1, failed 1, yield 50.0 %", "window-fail.png"},
        {"a selector is no chip operation", [&] { form->ComboBox4Change(); },
         "FAIL | OTP Blank Check Fail !!! | Chips 2: passed 1, failed 1, yield 50.0 %", nullptr},
        {"a Verify answered with more bytes than any answer has fails and says what came",
         [&] {
             fault("g:extra=30");
             QTest::mouseClick(Find<QPushButton>("Button4"), Qt::LeftButton);
         },
         "FAIL | OTP Verify Fail !!! (the writer answered 31 bytes; no answer is that long) | Chips 3: passed 1, "
         "failed 2, yield 33.3 %",
         nullptr},
        {"Next chip puts a blank chip in", [&] { Find<QAction>("NextChip1")->trigger(); form->Button2Click(); },
         "PASS | The chip passed | Chips 4: passed 2, failed 2, yield 50.0 %", nullptr},
        {"Reset starts the counts again",
         [&] { QTest::mouseClick(Find<QPushButton>("ResetCounts"), Qt::LeftButton); },
         "PASS | The chip passed | Chips 0: passed 0, failed 0, yield -", nullptr},
        {"a lock change that did not stick says so beside the last verdict",
         [&] {
             fault("u#1:lose=5");  // BodyFlags lost on the line: the rest of the row moves up a byte
             Find<QComboBox>("ComboBox4")->setCurrentIndex(1);
             form->ComboBox4Change();
         },
         "PASS | The last operation failed: the writer did not keep the lock ON | Chips 0: passed 0, failed 0, yield "
         "-",
         nullptr},
        {"a Load whose image read-back is not answered says why",
         [&] {
             fault("W#4:silent");
             form->LoadROMFile1Click();
             ASSERT_FALSE(op.seen.empty());  // the file dialog, then the box
             EXPECT_EQ(op.seen.back().text.toStdString(), "Please check download code & read back code");
             op.seen.clear();
         },
         "PASS | The last operation failed: Download error: Please check download code & read back code | Chips 0: "
         "passed 0, failed 0, yield -",
         nullptr},
        {"a Load that passes brings the last chip's line back",
         [&] {
             form->LoadROMFile1Click();
             EXPECT_EQ(op.seen.size(), 1u);  // the file dialog, no box
             op.seen.clear();
         },
         "PASS | The chip passed | Chips 0: passed 0, failed 0, yield -", nullptr},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(shown(), step.bar);
        if (step.screenshot) {
            EXPECT_TRUE(form->grab().save(QStringLiteral(OTP_BINARY_DIR "/") + QString::fromLatin1(step.screenshot)));
        }
    }
    EXPECT_TRUE(op.seen.empty());
}

// ---------------------------------------------------------------------------
// The window on the desktop: resizing, selectors that change only by a pick,
// the file dialogs' folder and name, a dropped file, About and the icon

// Lays every line of `pane` out; the count of those that wrapped.
int WrappedLines(QPlainTextEdit* pane) {
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(pane->document()->documentLayout());
    int wrapped = 0;
    for (QTextBlock block = pane->document()->begin(); block.isValid(); block = block.next()) {
        layout->ensureBlockLayout(block);
        if (block.layout()->lineCount() > 1) ++wrapped;
    }
    return wrapped;
}

// A window on the demo writer on test time, started in `workingDir`.
std::unique_ptr<TForm1> DemoForm(otp::emu::EmulatedPortOpener& demo, otp::VirtualPacer& clock,
                                 const std::string& workingDir) {
    return std::make_unique<TForm1>(demo, workingDir, nullptr, &clock);
}

// The window grows, and only the panes grow with it, the upper one by half
// the extra height; the controls above keep their places, and the window
// never gets smaller than designed. The dumps line up in a fixed-width font
// and no row wraps, at any size.
TEST_F(WindowTest, ResizingGrowsOnlyThePanesAndNoDumpRowWraps) {
    otp::VirtualPacer clock;
    auto demo = otp::emu::MakeDemoOpener(clock);
    form.reset();
    form = DemoForm(*demo, clock, OTP_SOURCE_DIR "/examples");
    ShowForm();
    op.fileAnswer = [](QFileDialog& d) {
        d.selectFile(QStringLiteral(OTP_SOURCE_DIR "/examples/demo-rx4400.rom"));
        static_cast<QDialog&>(d).accept();
    };
    form->LoadROMFile1Click();
    QPlainTextEdit* upper = Find<QPlainTextEdit>("RichEdit1");
    QPlainTextEdit* lower = Find<QPlainTextEdit>("RichEdit2");
    ASSERT_TRUE(upper->toPlainText().contains("\n03F0: ")) << upper->toPlainText().toStdString();  // 64 rows
    std::vector<int32_t> words(512);
    for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<int32_t>(i * 0x1357);
    otp::DumpValues(*form, words.data(), 512, 8, 4, 0, 1);  // word rows in the lower pane
    EXPECT_GE(upper->font().pixelSize(), 12);

    const QSize smallest = form->minimumSize();
    const struct {
        const char* name;
        QSize asked;
        QSize grown;  // the client area beyond its design size
        const char* screenshot;
    } cases[] = {
        {"as designed", smallest, {0, 0}, nullptr},
        {"a pixel more", smallest + QSize(1, 1), {1, 1}, nullptr},
        {"smaller than designed", smallest - QSize(100, 100), {0, 0}, nullptr},
        {"wider only", smallest + QSize(300, 0), {300, 0}, nullptr},
        {"large", smallest + QSize(420, 331), {420, 331}, "window-resized.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form->resize(c.asked);
        QCoreApplication::processEvents();
        EXPECT_EQ(Client()->size(), QSize(612, 517) + c.grown);
        for (const ExpectedControl& want : kControls) {
            const QString name = QString::fromLatin1(want.name);
            if (name == "RichEdit1" || name == "RichEdit2" || name == "Panel1") continue;
            EXPECT_EQ(Find<QWidget>(want.name)->geometry(), want.geometry) << want.name;
        }
        const int w = c.grown.width(), h = c.grown.height();
        EXPECT_EQ(upper->geometry(), QRect(0, 80, 609 + w, 217 + h / 2));
        EXPECT_EQ(lower->geometry(), QRect(0, 300 + h / 2, 609 + w, 217 + h - h / 2));
        EXPECT_EQ(Find<QFrame>("Panel1")->geometry(), QRect(164 + w / 2, 200 + h / 2, 289, 81));
        EXPECT_EQ(WrappedLines(upper), 0);
        EXPECT_EQ(WrappedLines(lower), 0);
        if (c.screenshot) {
            EXPECT_TRUE(form->grab().save(QStringLiteral(OTP_BINARY_DIR "/") + QString::fromLatin1(c.screenshot)));
        }
    }
}

// A selector changes only by an explicit pick: the wheel over a closed box,
// and letters typed into one that is not editable, leave it as it was and
// run no handler. (Arrow keys and the open list pick:
// OnlyTheOperatorsPickRunsASelectorHandler.)
TEST_F(WindowTest, TheWheelAndStrayLettersChangeNoSelector) {
    ShowForm();
    const auto wheel = [](int notches) {
        return [notches](QComboBox* box) {
            const QPointF at = QRectF(box->rect()).center();
            QWheelEvent event(at, box->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(box, &event);
        };
    };
    const auto type = [](const char* text) { return [text](QComboBox* box) { QTest::keyClicks(box, text); }; };
    const struct {
        const char* box;
        int from;
        std::function<void(QComboBox*)> act;
        const char* what;
    } cases[] = {
        {"ComboBox1", 1, wheel(1), "wheel up over the body"},
        {"ComboBox1", 1, wheel(-1), "wheel down over the body"},
        {"ComboBox3", 0, wheel(-1), "wheel down over rolling code OFF"},
        {"ComboBox3", 1, wheel(1), "wheel up over rolling code ON"},
        {"ComboBox4", 0, wheel(-1), "wheel down over lock OFF"},
        {"ComboBox4", 1, wheel(1), "wheel up over lock ON"},
        {"ComboBox5", 3, wheel(-3), "wheel down over the bank"},
        {"ComboBox1", 0, type("RX5"), "typing a body's name"},
        {"ComboBox3", 0, type("on"), "typing on into rolling code"},
        {"ComboBox5", 0, type("L"), "typing into the bank"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QComboBox* box = Find<QComboBox>(c.box);
        box->setCurrentIndex(c.from);
        handlersRun.clear();
        c.act(box);
        EXPECT_EQ(box->currentIndex(), c.from);
        EXPECT_TRUE(handlersRun.empty());
    }
}

// Keys typed into the lock selector while its handler runs: the writer ends
// with the option typed, or keeps the one it held, never another.
TEST_F(WindowTest, TypingFasterThanTheLockHandlerRunsNeverSendsAnotherOption) {
    otp::VirtualPacer clock;
    auto demo = otp::emu::MakeDemoOpener(clock);
    form.reset();
    form = DemoForm(*demo, clock, dir->path().toStdString());
    ShowForm();
    ASSERT_TRUE(op.seen.empty());
    QComboBox* lock = Find<QComboBox>("ComboBox4");
    ASSERT_TRUE(lock->isEnabled());
    const auto writerLock = [&] { return (form->session().state().BodyInfo[0][4] & 0x40) != 0; };
    const struct {
        int held;  // by the writer before
        const char* typed;
        int after;
    } cases[] = {{0, "on", 1}, {1, "off", 0}, {1, "o", 1}, {1, "ox", 1}, {0, "ON", 1}, {1, "of", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        form->SetSelection(Control::ComboBox4, c.held);
        form->ComboBox4Change();
        ASSERT_EQ(writerLock(), c.held == 1);
        lock->lineEdit()->selectAll();
        // The events wait until the handler's first change of the view runs
        // them, as keys typed on do on a busy window.
        QTest::qWait(2 * static_cast<int>(otp::EventPump::kInterval.count()));
        for (const char* k = c.typed; *k != '\0'; ++k) {
            const int key = Qt::Key_A + (std::toupper(static_cast<unsigned char>(*k)) - 'A');
            const QString text = QString(QLatin1Char(*k));
            QCoreApplication::postEvent(lock->lineEdit(), new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
            QCoreApplication::postEvent(lock->lineEdit(), new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
        }
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_FALSE(form->Busy());
        EXPECT_EQ(form->GetSelection(Control::ComboBox4), c.after);
        EXPECT_EQ(writerLock(), c.after == 1);
    }
    EXPECT_TRUE(op.seen.empty());
}

// The file dialogs open in the folder of the last file chosen (at first the
// working directory; the one kept in the settings when they are given), and
// Save offers the loaded .rom file's name, else the body's.
TEST_F(WindowTest, FileDialogsOpenWhereTheLastFileWasAndSaveOffersAName) {
    QTemporaryDir files;
    ASSERT_TRUE(QDir(files.path()).mkpath("a") && QDir(files.path()).mkpath("b"));
    const QString a = files.filePath("a"), b = files.filePath("b"), start = dir->path();
    const struct {
        const char* name;
        std::function<void()> before;
        bool save;
        QString answer;  // "" cancels
        QString folder;  // where the dialog opened
        QString offered;
    } steps[] = {
        {"the first Open", nullptr, false, a + "/x.rom", start, ""},
        {"Open again", nullptr, false, "", a, ""},
        {"Save after a load", [&] { form->SetFieldText(Control::Edit2, "X.ROM"); }, true, b + "/y.rom", a, "X.ROM"},
        {"Open after the Save", nullptr, false, "", b, ""},
        {"Save after a firmware update",
         [&] {
             form->SetFieldText(Control::Edit2, "/opt/writer/WRITER.BIN");
             form->SetSelection(Control::ComboBox1, 1);
         },
         true, "", b, "RX4720.rom"},
        {"Save without a body", [&] { form->SetSelection(Control::ComboBox1, -1); }, true, "", b, ""},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.before) step.before();
        op.seen.clear();
        op.fileAnswer = nullptr;
        if (!step.answer.isEmpty()) {
            op.fileAnswer = [&step](QFileDialog& d) {
                d.selectFile(step.answer);
                static_cast<QDialog&>(d).accept();
            };
        }
        const std::optional<std::string> chosen = step.save ? form->ChooseSaveFile() : form->ChooseOpenFile();
        ASSERT_EQ(op.seen.size(), 1u);
        EXPECT_EQ(op.seen[0].directory, step.folder);
        EXPECT_EQ(op.seen[0].fileName, step.offered);
        EXPECT_EQ(chosen, step.answer.isEmpty() ? std::nullopt : std::optional(step.answer.toStdString()));
    }

    // Given settings, the folder outlives the window; a kept folder that has
    // gone is not taken.
    QSettings settings(files.filePath("otpwriter.ini"), QSettings::IniFormat);
    form->RememberFoldersIn(settings);
    op.fileAnswer = [&](QFileDialog& d) {
        d.selectFile(a + "/z.rom");
        static_cast<QDialog&>(d).accept();
    };
    form->ChooseOpenFile();
    op.fileAnswer = nullptr;
    const struct {
        const char* name;
        QString kept;
        bool workingDirectory;  // else the kept folder
    } starts[] = {{"a kept folder", a, false}, {"a folder that has gone", files.filePath("gone"), true}};
    for (const auto& row : starts) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(settings.value("dialogs/folder").toString(), a);
        settings.setValue("dialogs/folder", row.kept);
        MakeForm(kIni);
        form->RememberFoldersIn(settings);
        op.seen.clear();
        form->ChooseOpenFile();
        ASSERT_EQ(op.seen.size(), 1u);
        EXPECT_EQ(op.seen[0].directory, row.workingDirectory ? dir->path() : row.kept);
        settings.setValue("dialogs/folder", a);
    }
}

// The Options menu's "Fast waits" sets the session's waits, says so in the
// status bar and outlives the window in the settings.
TEST_F(WindowTest, FastWaitsAreSetFromTheOptionsMenuAndRemembered) {
    QTemporaryDir files;
    QSettings settings(files.filePath("otpwriter.ini"), QSettings::IniFormat);
    QAction* fast = Find<QAction>("FastWaits1");
    ASSERT_NE(fast, nullptr);
    const struct {
        bool on;        // the operator's pick
        bool reopened;  // a new window reads it from the settings
    } picks[] = {{true, false}, {true, true}, {false, false}, {false, true}};
    for (const auto& pick : picks) {
        SCOPED_TRACE(std::string(pick.on ? "on" : "off") + (pick.reopened ? ", reopened" : ""));
        if (pick.reopened) {
            MakeForm(kIni);
            form->RememberWaitsIn(settings);
            fast = Find<QAction>("FastWaits1");
        } else {
            form->RememberWaitsIn(settings);
            fast->setChecked(pick.on);
            EXPECT_EQ(settings.value("waits/fast").toBool(), pick.on);
        }
        EXPECT_EQ(fast->isChecked(), pick.on);
        EXPECT_EQ(form->session().ctx().link.fastWaits, pick.on);
        EXPECT_EQ(Find<QLabel>("WaitsNotice")->isVisibleTo(form.get()), pick.on);
    }
}

// A .rom file dropped on the window runs Load ROM File, which takes it for
// the file chosen, through the same handler; any other drop is refused, and
// so is every drop while a handler runs.
TEST_F(WindowTest, ARomFileDroppedOnTheWindowIsLoadedAndOtherDropsAreRefused) {
    ShowForm();
    std::optional<std::string> loaded;
    form->operationFor = [&loaded](const std::string& handler) -> otp::WindowOperation {
        if (handler != "LoadROMFile1Click") return {};
        return [&loaded](otp::Context& ctx) {
            loaded = ctx.view.ChooseOpenFile();
            return otp::Outcome::Done;
        };
    };
    const QString rom = dir->filePath("image.rom");
    const QString upper = dir->filePath("IMAGE.ROM");
    const auto files = [](const QStringList& paths) {
        return [paths] {
            auto* mime = new QMimeData;
            QList<QUrl> urls;
            for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
            mime->setUrls(urls);
            return mime;
        };
    };
    enum class When { Idle, DuringAHandler, HandlerBeforeTheLoad };
    const struct {
        const char* name;
        std::function<QMimeData*()> mime;
        When when;
        bool accepted;
        std::optional<std::string> load;  // nullopt: no Load ran
    } cases[] = {
        {"a .rom file", files({rom}), When::Idle, true, rom.toStdString()},
        {"a .ROM file", files({upper}), When::Idle, true, upper.toStdString()},
        {"a text file", files({dir->filePath("notes.txt")}), When::Idle, false, std::nullopt},
        {"two .rom files", files({rom, upper}), When::Idle, false, std::nullopt},
        {"a web address",
         [] {
             auto* mime = new QMimeData;
             mime->setUrls({QUrl(QStringLiteral("https://example.com/image.rom"))});
             return mime;
         },
         When::Idle, false, std::nullopt},
        {"a file name as text",
         [rom] {
             auto* mime = new QMimeData;
             mime->setText(rom);
             return mime;
         },
         When::Idle, false, std::nullopt},
        {"while a handler runs", files({rom}), When::DuringAHandler, false, std::nullopt},
        {"a handler starts before the load", files({rom}), When::HandlerBeforeTheLoad, true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        handlersRun.clear();
        loaded.reset();
        op.seen.clear();
        const std::unique_ptr<QMimeData> mime(c.mime());
        bool accepted = false;
        const auto drop = [&] {
            const QPoint at = Client()->geometry().center();
            QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form.get(), &enter);
            QDropEvent dropped(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form.get(), &dropped);
            accepted = enter.isAccepted() && dropped.isAccepted();
        };
        Strings ran;
        if (c.when == When::DuringAHandler) {
            form->RunHandler("Busy", [&] { drop(); });
            ran = {"Busy"};
        } else {
            drop();
            if (c.when == When::HandlerBeforeTheLoad) {
                form->RunHandler("Busy", [] { QCoreApplication::processEvents(); });
                ran = {"Busy"};
            }
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(accepted, c.accepted);
        if (c.load) ran.push_back("LoadROMFile1Click");
        EXPECT_EQ(handlersRun, ran);
        EXPECT_EQ(loaded, c.load);
        EXPECT_TRUE(op.seen.empty());  // no file dialog: the dropped file is the one chosen
    }
    // The dropped file's folder is where the dialogs open next.
    op.fileAnswer = nullptr;
    form->ChooseOpenFile();
    ASSERT_EQ(op.seen.size(), 1u);
    EXPECT_EQ(op.seen[0].directory, dir->path());
}

// "?" > About tells the program's name and version (the project's), when it
// was built and the writer's firmware as last read; the window shows the
// program's icon.
TEST_F(WindowTest, AboutTellsTheVersionsAndTheWindowShowsTheIcon) {
    QFile cmake(QStringLiteral(OTP_SOURCE_DIR "/CMakeLists.txt"));
    ASSERT_TRUE(cmake.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch project =
        QRegularExpression(QStringLiteral(R"(project\(otpwriter VERSION ([0-9.]+))")).match(QString::fromUtf8(cmake.readAll()));
    ASSERT_TRUE(project.hasMatch());
    const QString version = project.captured(1);

    otp::VirtualPacer clock;
    auto demo = otp::emu::MakeDemoOpener(clock);
    const struct {
        const char* name;
        std::function<void()> before;
        QString firmware;
    } cases[] = {
        {"no writer has answered", nullptr, "Writer firmware: not read yet (no writer has answered)"},
        {"the start-up read the writer",
         [&] {
             form = DemoForm(*demo, clock, dir->path().toStdString());
             form->handlerObserver = [this](const std::string& name) { handlersRun.push_back(name); };
         },
         "Writer firmware: 12071000 (as last read)"},
        {"the version query read a newer one",
         [&] {
             demo->Writer().WriteMemory(0x0400, {1, 2, 0, 7, 1, 0, 0, 2});
             form->Version1Click();
         },
         "Writer firmware: 12071002 (as last read)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.before) c.before();
        ShowForm();
        handlersRun.clear();
        op.seen.clear();
        Find<QAction>("About1")->trigger();
        EXPECT_EQ(handlersRun, Strings({"About1Click"}));
        ASSERT_EQ(op.seen.size(), 1u);
        const SeenDialog& box = op.seen[0];
        EXPECT_EQ(box.title, "About otpwriter");
        const QStringList lines = box.text.split('\n');
        EXPECT_EQ(lines.value(0), "otpwriter " + version);
        EXPECT_TRUE(lines.contains(c.firmware)) << box.text.toStdString();
        EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral(R"(^Built: \d{4}-\d\d-\d\d$)"))).size(), 1)
            << box.text.toStdString();
        EXPECT_FALSE(box.iconPixmap.isNull());
        EXPECT_EQ(box.parent.data(), form.get());
        EXPECT_FALSE(box.clickIgnored);
    }

    const QList<QSize> sizes = form->windowIcon().availableSizes();
    for (int size : {16, 32, 48, 64, 128, 256}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    EXPECT_FALSE(form->windowIcon().pixmap(32, 32).toImage().pixelColor(16, 16).alpha() == 0);
}

TEST_F(WindowTest, Screenshot) {
    ShowForm();
    QImage image = form->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), form->size() * form->devicePixelRatio());
    EXPECT_TRUE(image.save(QStringLiteral(OTP_BINARY_DIR "/window.png")));

    form->AppendLine(Control::RichEdit1, "Receiver Data Length = 16 bytes");
    form->SetProgressMax(100);
    form->SetProgressPosition(60);
    form->ShowProgress(true);
    EXPECT_TRUE(form->grab().save(QStringLiteral(OTP_BINARY_DIR "/window-progress.png")));
}

// The window on a serial line with a writer on it, as an operator runs it:
// OTPWRITER_TEST_LINE names the port (COM1 to COM4; tests/wine/window-com-port-run
// maps wine's COM1 to writer-emulator's pty). The .rom given on the command
// line is loaded as main.cpp has it loaded, Auto is clicked, and the chip's
// row is in the production log.
TEST_F(WindowTest, OnALineARomFromTheCommandLineLoadsAndAutoPassesIntoTheLog) {
    const char* line = std::getenv("OTPWRITER_TEST_LINE");
    if (line == nullptr) GTEST_SKIP() << "OTPWRITER_TEST_LINE names no port with a writer on it";
    QFile example(QStringLiteral(OTP_SOURCE_DIR "/examples/Writer.ini"));
    ASSERT_TRUE(example.open(QIODevice::ReadOnly));
    QString ini = QString::fromLatin1(example.readAll());
    ini.replace(QRegularExpression(QStringLiteral("(?m)^RS232_PORT .*$")), QStringLiteral("RS232_PORT ") + line);
    QFile written(dir->filePath(QStringLiteral("Writer.ini")));
    ASSERT_TRUE(written.open(QIODevice::WriteOnly | QIODevice::Truncate));
    written.write(ini.toLatin1());
    written.close();
    const QString rom = dir->filePath(QStringLiteral("demo-rx4400.rom"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(OTP_SOURCE_DIR "/examples/demo-rx4400.rom"), rom));
    const QString log = dir->filePath(QStringLiteral("production.csv"));

    otp::SystemPortOpener port;
    form.reset();
    op.seen.clear();
    form = std::make_unique<TForm1>(port, dir->path().toStdString());
    form->UseProductionLog(log.toStdString());
    ShowForm();
    form->LoadGivenRomFile(rom);
    QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);

    const QString panes = Find<QPlainTextEdit>("RichEdit1")->toPlainText() + "\n" +
                          Find<QPlainTextEdit>("RichEdit2")->toPlainText();
    std::string boxes;
    for (const SeenDialog& d : op.seen) boxes += (d.title + ": " + d.text + "\n").toStdString();
    EXPECT_EQ(boxes, "");
    EXPECT_TRUE(panes.contains(QStringLiteral("OTP Verify OK !!!"))) << panes.toStdString();
    EXPECT_EQ(Find<QLineEdit>("Edit1")->text().toStdString(), "FE5A");  // the image's and the options' sums
    EXPECT_EQ(Find<QLabel>("Verdict")->text().toStdString(), "PASS") << panes.toStdString();
    QFile csv(log);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2) << rows.join('|').toStdString();  // the header and the chip
    const QStringList header = rows[0].split(',');
    const QStringList fields = rows[1].split(',');
    ASSERT_EQ(fields.size(), header.size()) << rows[1].toStdString();
    const auto field = [&](const char* name) { return fields.value(header.indexOf(QLatin1String(name))); };
    EXPECT_EQ(field("operation").toStdString(), "auto");
    EXPECT_TRUE(field("rom_file").endsWith(QStringLiteral("demo-rx4400.rom"))) << rows[1].toStdString();
    EXPECT_EQ(field("checksum").toStdString(), "FE5A");
    EXPECT_EQ(field("verdict").toStdString(), "pass");
}

}  // namespace

// Job > Save as job...: the image the window loaded, the lock it picked and
// the writer's firmware, with the quantity asked for, saved as a job the
// console reads back; without an image loaded, a box says why and nothing is saved.
TEST_F(WindowTest, SaveAsJobSavesWhatTheWindowHoldsWithTheQuantityAsked) {
    otp::VirtualPacer clock;
    auto demo = otp::emu::MakeDemoOpener(clock);
    form.reset();
    for (const char* name : {"Writer.ini", "demo-rx4400.rom"}) {
        const QString to = dir->filePath(QLatin1String(name));
        QFile::remove(to);  // the fixture's own Writer.ini
        ASSERT_TRUE(QFile::copy(QStringLiteral(OTP_SOURCE_DIR "/examples/") + QLatin1String(name), to));
    }
    form = DemoForm(*demo, clock, dir->path().toStdString());
    ShowForm();
    const QString jobPath = dir->filePath(QStringLiteral("jobs/order.otpjob"));
    ASSERT_TRUE(QDir(dir->path()).mkpath(QStringLiteral("jobs")));
    op.fileAnswer = [&](QFileDialog& d) {
        d.selectFile(jobPath);
        static_cast<QDialog&>(d).accept();
    };
    op.inputAnswer = 7;
    op.seen.clear();
    Find<QAction>("SaveJob1")->trigger();
    ASSERT_EQ(op.seen.size(), 3u);
    EXPECT_EQ(op.seen[2].text.toStdString(),
              "cannot save the job " + jobPath.toStdString() +
                  ": the writer holds no image loaded from a file and verified (load one first)");
    EXPECT_FALSE(QFile::exists(jobPath));

    op.fileAnswer = [&](QFileDialog& d) {
        d.selectFile(dir->filePath(QStringLiteral("demo-rx4400.rom")));
        static_cast<QDialog&>(d).accept();
    };
    form->LoadROMFile1Click();
    form->SetSelection(Control::ComboBox4, 1);
    form->ComboBox4Change();
    op.fileAnswer = [&](QFileDialog& d) {
        d.selectFile(jobPath);
        static_cast<QDialog&>(d).accept();
    };
    op.seen.clear();
    Find<QAction>("SaveJob1")->trigger();
    ASSERT_EQ(op.seen.size(), 3u);
    EXPECT_EQ(op.seen[1].className, "QInputDialog");
    EXPECT_TRUE(op.seen[2].text.startsWith(QStringLiteral("Job order ("))) << op.seen[2].text.toStdString();
    otp::JobFile saved;
    std::string error;
    ASSERT_TRUE(otp::ReadJobFile(jobPath.toStdString(), saved, error)) << error;
    EXPECT_EQ(saved.job.quantity, 7);
    EXPECT_EQ(saved.job.lock, "on");
    EXPECT_EQ(saved.job.body, "RX4400");
    EXPECT_EQ(saved.job.image, "demo-rx4400.rom");
    EXPECT_TRUE(QFile::exists(dir->filePath(QStringLiteral("jobs/demo-rx4400.rom"))));
}
