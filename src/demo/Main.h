// The main window of Tovrel (TfrmMain): the topic tree on the left, the
// selected topic's page on the "Example" tab and its source file on the
// "Source code" tab, a header with the topic's caption and a bottom bar with
// the navigation buttons.
//
// The topics come from the page list, one line per topic:
//   Caption;PageClass[;SourceName]
// Leading blanks (spaces or tabs) give the tree level. PageClass names a
// class of the page registry (letter case ignored); SourceName is the base
// name of the page's source file in the demo source folder, and a topic
// without one has no "Source code" tab.
//
// Pages are created when their topic is selected, with this window as
// owner, and deleted when another topic is selected (the hosting contract
// is in Basic2.h). A page class named by the list but not registered shows
// the standard error "Class <Name> not found" when its topic is selected;
// the page area stays empty and the window stays usable.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTextEdit>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "PageRegistry.h"

class QFrame;
class QLabel;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

// What a topic node carries: the page class (empty when the name is not
// registered) and the source name (empty when the line has none).
struct TPageEntry {
  std::string ClassName;
  TPageFactory PageClass;
  QString SourceName;
};

// The ten lines of the demo's topic list.
QStringList DemoPageList();

// One line of the page list, read: its level (leading blanks), the caption
// (the text before the first ";") and, for a line with a ";", its entry.
struct TTopicLine {
  int Level = 0;
  QString Text;  // the line without its leading blanks
  QString Caption;
  std::optional<TPageEntry> Entry;
};
TTopicLine ParseTopicLine(const QString& Line);

// A node of the topic tree with the line it was made from.
struct TTopicNode {
  QTreeWidgetItem* Node;
  TTopicLine Line;
};

// Fills Tree with one node per line, the level given by the line's leading
// blanks, the node text its caption. Returns the nodes in tree order.
// Raises Exception "Invalid level (2) for item \"...\"" for a line more
// than one level deeper than the line before it, or a first line that is
// indented.
std::vector<TTopicNode> LoadTopicTree(QTreeWidget& Tree, const QStringList& Lines);

class TfrmMain : public QMainWindow {
  Q_OBJECT
public:
  // Builds the window and its topic tree (FormCreate); no topic is selected
  // until the window is shown, which selects the first one.
  explicit TfrmMain(const QStringList& PageList = DemoPageList(), QWidget* Parent = nullptr);
  ~TfrmMain() override;

  // Header.
  QFrame* Panel2;
  QLabel* Image1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  // Topics and pages.
  QTreeWidget* TreeView1;
  QSplitter* Splitter1;
  QTabWidget* PageControl1;
  QWidget* TabForm;
  QWidget* TabSource;
  QPushButton* btnConfig;
  // Bottom bar.
  QFrame* Panel1;
  QPushButton* btnPrevious;
  QPushButton* btnNext;
  QPushButton* btnClose;
  QPushButton* btnHelp;
  QStatusBar* StatusBar1;

  QWidget* Page() const { return FPage; }
  QTextEdit* SourceView() const { return FSourceView; }
  QString ShownSource() const { return FShownSource; }
  const TPageEntry* Entry(const QTreeWidgetItem* Node) const;
  QString SelectedSourceName() const;

  // Position of Node among all nodes in tree order, expanded or not; -1 for
  // none. NodeAt is the reverse (null out of range).
  int AbsoluteIndex(const QTreeWidgetItem* Node) const;
  QTreeWidgetItem* NodeAt(int Index) const;
  int NodeCount() const;

  // The folder chooser of "Configure": returns the chosen folder, empty
  // when cancelled. Tests replace the dialog.
  using TFolderChooser = std::function<QString(QWidget* Parent, const QString& Title)>;
  void SetFolderChooser(TFolderChooser Chooser) { FFolderChooser = std::move(Chooser); }

  // The event handlers, callable as the controls call them.
  void TreeView1Change();
  void btnNextClick();
  void btnPreviousClick();
  void PageControl1Change();
  void btnConfigClick();
  void Label3Click();

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

private:
  void FormCreate(const QStringList& PageList);
  void BuildHeader();
  void BuildBottomBar();
  void ShowSelectedPage();
  void CreatePage(const TPageEntry& Entry);
  void SelectNode(int Index);
  // Changes the active tab as the program does, without PageControl1Change.
  void ActivateTab(QWidget* Tab);
  void DiscardSourceView();
  void SetLabel3Underlined(bool Underlined);

  std::vector<QTreeWidgetItem*> FNodes;  // the topic nodes in tree order
  std::unordered_map<const QTreeWidgetItem*, TPageEntry> FEntries;
  QPointer<QWidget> FPage;
  QString FShownSource;
  QPointer<QTextEdit> FSourceView;
  TFolderChooser FFolderChooser;
  bool FActivatingTab = false;
  bool FShownOnce = false;
};
