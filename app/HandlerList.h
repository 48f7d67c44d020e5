#pragma once
// Every handler of the main window, in the order of its events, and what
// each one does. One line a handler:
//
//   X(handler, control, signal, operation, chip)
//
// `handler` is TForm1's slot of that name, which the `signal` of the object
// `control` of unit1.ui runs; `operation` is the function of the logic
// (namespace otp, named after the handler it serves) that the handler calls
// with the session's Context, the window's own Quit1Click in Handlers.cpp.
// `chip` names the operations that work on the chip in the socket ("auto",
// as the console's step): they are recorded in the production log and
// counted in the status bar; nullptr for the others. The comment after each
// line is the control's text.
//
// This list is expanded by the window's slot declarations (Unit1.h), their
// one-line definitions (Unit1Handlers.cpp), the connections (Unit1.cpp), the
// table from handler to operation (Handlers.cpp) and the window tests.
//
// A selector runs its handler on `activated`, which only the operator's own
// pick emits, never a selection made from code (nor the wheel or a stray
// letter: PickOnlySelectors). A text the operator types into the lock
// selector that names an option runs its handler as well
// (TForm1::ComboBox4TextEdited). The "?" menu's About is the window's own
// (Unit1About.cpp), with no operation of the logic.
#define OTP_WINDOW_HANDLERS(X)                                                                                                     \
    /* The menu bar */                                                                                                             \
    X(LoadROMFile1Click,    LoadROMFile1,    QAction::triggered,   LoadROMFile1Click,    nullptr          ) /* Load ROM File */    \
    X(SaveROMFile1Click,    SaveROMFile1,    QAction::triggered,   SaveROMFile1Click,    nullptr          ) /* Save ROM File */    \
    X(UploadtoWriter1Click, UploadtoWriter1, QAction::triggered,   UploadtoWriter1Click, nullptr          ) /* Upload ROM */       \
    X(Version1Click,        Version1,        QAction::triggered,   Version1Click,        nullptr          ) /* Version */          \
    X(UpdateWriter1Click,   UpdateWriter1,   QAction::triggered,   UpdateWriter1Click,   nullptr          ) /* Update Writer */    \
    X(Read1Click,           Read1,           QAction::triggered,   Read1Click,           nullptr          ) /* Testcode > Read */  \
    X(Write1Click,          Write1,          QAction::triggered,   Write1Click,          "testcode-write" ) /* Testcode > Write */ \
    X(Quit1Click,           Quit1,           QAction::triggered,   Quit1Click,           nullptr          ) /* Quit */             \
    /* The buttons */                                                                                                              \
    X(Button1Click,         Button1,         QPushButton::clicked, Button1Click,         "auto"           ) /* Auto */             \
    X(Button2Click,         Button2,         QPushButton::clicked, Button2Click,         "blank"          ) /* Blank Check */      \
    X(Button3Click,         Button3,         QPushButton::clicked, Button3Click,         "program"        ) /* Program */          \
    X(Button4Click,         Button4,         QPushButton::clicked, Button4Click,         "verify"         ) /* Verify */           \
    X(Button5Click,         Button5,         QPushButton::clicked, Button5Click,         "copy"           ) /* Copy */             \
    X(Button6Click,         Button6,         QPushButton::clicked, Button6Click,         "read"           ) /* Read */             \
    /* The selectors */                                                                                                            \
    X(ComboBox1Change,      ComboBox1,       QComboBox::activated, ComboBox1Change,      nullptr          ) /* IC Body */          \
    X(ComboBox3Change,      ComboBox3,       QComboBox::activated, ComboBox3Change,      nullptr          ) /* Rolling Code */     \
    X(ComboBox4Change,      ComboBox4,       QComboBox::activated, ComboBox4Change,      nullptr          ) /* Lock */             \
    X(ComboBox5Change,      ComboBox5,       QComboBox::activated, ComboBox5Change,      nullptr          ) /* Bank */
