// Building the main window: the widgets of unit1.ui with their fonts and
// size, the connections from its events to the handlers, the start-up, the
// first show centred on the screen, and the close.
#include "app/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>

#include "operations/Startup.h"
#include "ui_unit1.h"

namespace {

QFont PixelFont(const char* family, int pixels) {
    QFont font(QString::fromLatin1(family));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

TForm1::TForm1(otp::PortOpener& opener, std::string workingDir, QWidget* parent, otp::Pacer* pacer)
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
    ApplyFonts();
    BuildProductionBar();
    FitToControls();
    ConnectHandlers();

    session_ = std::make_unique<otp::Session>(watch_, *pacer_, opener, std::move(workingDir));

    // The start-up runs inside the window's creation, before it is shown.
    RunBusy([this] { otp::RunStartup(session_->ctx()); });
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
    const QFont paneFont = PixelFont("MS Sans Serif", 16);
    ui_->RichEdit1->setFont(paneFont);
    ui_->RichEdit2->setFont(paneFont);
    // The menus keep the system's menu font.
    ui_->MainMenu1->setFont(QApplication::font(ui_->MainMenu1));
}

void TForm1::FitToControls() {
    // The client area is exactly as large as its controls reach; the window
    // is the client area plus the menu bar and the status bar, and does not
    // resize.
    const QRect reach = ui_->ClientArea->childrenRect();
    const QSize client(reach.x() + reach.width(), reach.y() + reach.height());
    ui_->ClientArea->setFixedSize(client);
    setFixedSize(client.width(),
                 client.height() + ui_->MainMenu1->sizeHint().height() + statusBar()->sizeHint().height());
}

// The one place where the window's events meet their handlers: each control's
// signal as HandlerList.h names it, and the lock selector's typed text.
void TForm1::ConnectHandlers() {
#define OTP_CONNECT_HANDLER(handler, control, signal, operation, chip) \
    connect(ui_->control, &signal, this, &TForm1::handler);
    OTP_WINDOW_HANDLERS(OTP_CONNECT_HANDLER)
#undef OTP_CONNECT_HANDLER
    connect(ui_->ComboBox4->lineEdit(), &QLineEdit::textEdited, this, &TForm1::ComboBox4TextEdited);
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
