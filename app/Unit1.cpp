// Building the main window: the widgets of unit1.ui with their fonts and
// size, the panes growing with the window, the connections from its events
// to the handlers, the start-up, the first show centred on the screen, and
// the close.
#include "app/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>

#include <algorithm>

#include "operations/Startup.h"
#include "app/MenuBarFit.h"
#include "ui_unit1.h"

namespace {

QFont PixelFont(const char* family, int pixels) {
    QFont font(QString::fromLatin1(family));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

// The widest line a pane shows as a rule: a dump row of 16 byte values.
const QString kDumpRow = QStringLiteral("0000: ") + QStringLiteral("FF ").repeated(16);

// The system's fixed-width font at the largest pixel size up to `largest`
// whose dump row fits a line of `pane` as designed, so that the columns of
// a dump line up and no row wraps.
QFont DumpFont(const QPlainTextEdit& pane, int largest) {
    const int text = pane.width() - 2 * pane.frameWidth() - pane.verticalScrollBar()->sizeHint().width() -
                     2 * static_cast<int>(pane.document()->documentMargin()) - pane.cursorWidth();
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int pixels = largest; pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetricsF(font).horizontalAdvance(kDumpRow) <= text) break;
    }
    return font;
}

}  // namespace

TForm1::TForm1(otp::PortOpener& opener, std::string workingDir, QWidget* parent, otp::Pacer* pacer, std::string port)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::TForm1>()),
      guard_(*this),
      ownPacer_(guard_, pump_),
      pacer_(pacer != nullptr ? pacer : &ownPacer_) {
    ui_->setupUi(this);
    pump_.beforeEvents = [this] { PaintChanged(); };
    // What the operator types into the lock selector stays as typed: no
    // completion, and no new items from it.
    ui_->ComboBox4->setCompleter(nullptr);
    ui_->ComboBox4->setInsertPolicy(QComboBox::NoInsert);
    for (QComboBox* box : {ui_->ComboBox1, ui_->ComboBox3, ui_->ComboBox4, ui_->ComboBox5}) pickOnly_.Guard(*box);
    ApplyFonts();
    BuildProductionBar();
    BuildProductionKey();
    BuildHelpMenu();
    BuildOptionsMenu();
    BuildJobMenu();
    FitToControls();
    ConnectHandlers();
    setAcceptDrops(true);
    dialogFolder_ = QFile::decodeName(QByteArray::fromStdString(workingDir));

    session_ = std::make_unique<otp::Session>(watch_, *pacer_, opener, std::move(workingDir));

    // The start-up runs inside the window's creation, before it is shown.
    RunBusy([this, &port] {
        watch_.Begin();
        const otp::StartupResult started = otp::RunStartup(session_->ctx(), otp::StartupPlan{nullptr, port});
        ShowOffChip(started == otp::StartupResult::Ready ? otp::Outcome::Done : otp::Outcome::Failed);
    });
}

TForm1::~TForm1() = default;

void TForm1::ApplyFonts() {
    // Arial 13 px is the window's font; the controls below use MS Sans Serif.
    // Where a family is missing, a face of about the same width stands in,
    // so that the texts fit the controls laid out for them; failing those,
    // the platform picks a sans-serif face.
    static const bool substituted = [] {
        const QStringList narrowFaces = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                         QStringLiteral("DejaVu Sans Condensed")};
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   QStringList{QStringLiteral("Microsoft Sans Serif")} + narrowFaces);
        QFont::insertSubstitutions(QStringLiteral("Arial"), narrowFaces);
        return true;
    }();
    (void)substituted;
    setFont(PixelFont("Arial", 13));
    const QFont sans13 = PixelFont("MS Sans Serif", 13);
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui_->Label4, ui_->Edit2, ui_->Label1, ui_->Edit1, ui_->Label3, ui_->Label2, ui_->ComboBox1,
             ui_->Label5, ui_->Label6, ui_->Button1, ui_->Button2, ui_->Button3, ui_->Button4, ui_->Button5,
             ui_->Button6}) {
        w->setFont(sans13);
    }
    // The panes show dumps in columns: a fixed-width face, at the size the
    // rest of their text had (16 px) unless a dump row would not fit.
    const QFont paneFont = DumpFont(*ui_->RichEdit1, 16);
    ui_->RichEdit1->setFont(paneFont);
    ui_->RichEdit2->setFont(paneFont);
    // The menus keep the system's menu font.
    ui_->MainMenu1->setFont(QApplication::font(ui_->MainMenu1));
}

void TForm1::FitToControls() {
    // As designed, the client area is exactly as large as its controls
    // reach, and the window is the client area plus the menu bar and the
    // status bar: the window opens at that size and never gets smaller. It
    // may grow, and the panes then take the room it gains (LayOutPanes).
    const QRect reach = ui_->ClientArea->childrenRect();
    designClient_ = QSize(reach.x() + reach.width(), reach.y() + reach.height());
    designUpper_ = ui_->RichEdit1->geometry();
    designLower_ = ui_->RichEdit2->geometry();
    designPanel_ = ui_->Panel1->geometry();
    ui_->ClientArea->setMinimumSize(designClient_);
    ui_->ClientArea->installEventFilter(this);
    // The window's own smallest size follows from its layout: the client
    // area's, the menu bar's and the status bar's, which grows when the bar
    // shows more.
    otp::FitMenuBarEntries(*ui_->MainMenu1, designClient_.width());
    resize(designClient_.width(), designClient_.height() + ui_->MainMenu1->sizeHint().height() +
                                      statusBar()->sizeHint().height());
}

void TForm1::LayOutPanes() {
    // The panes grow in width and height, the upper one by half the extra
    // height and the lower one by the rest; the controls above them keep
    // their places, and the progress panel keeps its place over the
    // middle of the panes.
    const int wider = std::max(ui_->ClientArea->width() - designClient_.width(), 0);
    const int taller = std::max(ui_->ClientArea->height() - designClient_.height(), 0);
    const int upper = taller / 2;
    ui_->RichEdit1->setGeometry(designUpper_.adjusted(0, 0, wider, upper));
    ui_->RichEdit2->setGeometry(designLower_.adjusted(0, upper, wider, taller));
    ui_->Panel1->move(designPanel_.topLeft() + QPoint(wider / 2, upper));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->ClientArea && event->type() == QEvent::Resize) LayOutPanes();
    return QMainWindow::eventFilter(watched, event);
}

// The one place where the window's events meet their handlers: each control's
// signal as HandlerList.h names it, and the lock selector's typed text.
void TForm1::ConnectHandlers() {
#define OTP_CONNECT_HANDLER(handler, control, signal, operation, chip) \
    connect(ui_->control, &signal, this, &TForm1::handler);
    OTP_WINDOW_HANDLERS(OTP_CONNECT_HANDLER)
#undef OTP_CONNECT_HANDLER
    connect(ui_->ComboBox4->lineEdit(), &QLineEdit::textEdited, this, &TForm1::ComboBox4TextEdited);
    connect(ui_->ComboBox4->lineEdit(), &QLineEdit::editingFinished, this, &TForm1::ComboBox4EditingFinished);
}

void TForm1::showEvent(QShowEvent* event) {
    if (!centred_ && !event->spontaneous()) {
        centred_ = true;
        if (QScreen* s = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(s->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QMainWindow::showEvent(event);
}

void TForm1::CloseWindow() {
    otp::InputGuard::ClosePass pass(guard_);
    close();
    QCoreApplication::quit();
}
