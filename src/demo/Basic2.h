// The page hosting contract and the base form of the working pages.
//
// Hosting contract, what every page can rely on:
//  - A page is a QWidget class registered by name (PageRegistry.h) with a
//    constructor taking its owner; the main window passes itself.
//  - The main window reparents the page into its "Example" tab, without a
//    border and filling the tab, and deletes it when another topic is
//    selected or the window closes. A page is never reused: each visit
//    starts from a fresh page.
//  - The page may look up controls of its owner by object name
//    (FindOwnerControl); the owner provides a button named "btnHelp", which
//    every page disables when it is created (DisableOwnerHelp).
//  - Errors: a page's handlers may throw the framework's Exception; connect
//    them through Guarded(...) (DemoApplication.h) and the standard handler
//    shows the message. The page stays usable.
//
// TBasicForm2 is the base of the pages that work with a classifier: a
// description at the top (Panel1 holding RichEdit1), the work area in the
// middle (Panel3) and the button area at the bottom (Panel2). A derived page
// sets the two panel heights with SetPanelHeights and fills the areas.
#pragma once

#include <QFont>
#include <QPointer>
#include <QWidget>

class QFrame;
class QTextEdit;
class QAbstractButton;

// The control named Name among Owner's descendants, or null (also for a
// null Owner). The nearest match wins, so the owner's own controls come
// before a page's controls of the same name (Panel1, Label1).
QWidget* FindOwnerControl(QWidget* Owner, const QString& Name);
// Disables Owner's "btnHelp"; an owner without one is left alone.
void DisableOwnerHelp(QWidget* Owner);

// The description colour of the pages, RGB(223,223,255).
QColor PageTextBackground();
// A page's text control "RichEdit1" on the description colour; the caller
// decides whether it is read-only and which scroll bars it shows.
QTextEdit* NewPageTextEdit(QWidget* Parent);
// The text pages' font: Arial, bold, 16 pixels.
QFont PageTextFont();

class TBasicForm2 : public QWidget {
  Q_OBJECT
public:
  explicit TBasicForm2(QWidget* Owner);

  QWidget* Owner() const { return FOwner; }
  void SetPanelHeights(int Top, int Bottom);

  QFrame* Panel1;     // top: the description
  QTextEdit* RichEdit1;
  QFrame* Panel3;     // middle: the work area
  QFrame* Panel2;     // bottom: the buttons

private:
  QPointer<QWidget> FOwner;
};
