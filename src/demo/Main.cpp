// The main window: topic tree, page hosting, navigation and the source view.
#include "Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "DemoApplication.h"
#include "DemoSettings.h"
#include "Exceptions.h"
#include "SourceHighlighter.h"
#include "Stream.h"

namespace {

const QColor HeaderColour(0, 102, 151);
const QColor TreeColour(255, 255, 213);
// The maker's address; .example is reserved, so it never points at someone
// else's site.
const char* const WebAddress = "https://www.halvorn.example";

// Our logo: three linked nodes (a tiny classifier) beside the name.
QPixmap DemoLogo() {
  QPixmap Logo(153, 65);
  Logo.fill(Qt::transparent);
  QPainter Painter(&Logo);
  Painter.setRenderHint(QPainter::Antialiasing);
  const QPointF Root(20, 16), Left(10, 46), Right(34, 46);
  Painter.setPen(QPen(QColor(255, 255, 213), 2.5));
  Painter.drawLine(Root, Left);
  Painter.drawLine(Root, Right);
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(QColor(255, 204, 0));
  Painter.drawEllipse(Root, 8, 8);
  Painter.setBrush(QColor(255, 255, 255));
  Painter.drawEllipse(Left, 7, 7);
  Painter.setBrush(QColor(160, 210, 235));
  Painter.drawEllipse(Right, 7, 7);
  QFont Name(QStringLiteral("Arial"));
  Name.setBold(true);
  Name.setPixelSize(26);
  Painter.setFont(Name);
  Painter.setPen(Qt::white);
  Painter.drawText(QRectF(48, 8, 105, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Corvan"));
  QFont Small(QStringLiteral("Arial"));
  Small.setPixelSize(11);
  Painter.setFont(Small);
  Painter.setPen(QColor(255, 204, 0));
  Painter.drawText(QRectF(50, 40, 103, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("classification"));
  return Logo;
}

void Colour(QWidget* Widget, QPalette::ColorRole Role, const QColor& C) {
  QPalette P = Widget->palette();
  P.setColor(Role, C);
  Widget->setPalette(P);
}

QLabel* NewLabel(QWidget* Parent, const char* Name, const QString& Text) {
  auto* Label = new QLabel(Text, Parent);
  Label->setObjectName(QString::fromLatin1(Name));
  return Label;
}

QFont Font(const char* Family, int PixelSize, bool Bold = false, bool Italic = false) {
  QFont F(QString::fromLatin1(Family));
  F.setPixelSize(PixelSize);
  F.setBold(Bold);
  F.setItalic(Italic);
  return F;
}

int LeadingBlanks(const QString& Line) {
  int N = 0;
  while (N < Line.size() && (Line[N] == QLatin1Char(' ') || Line[N] == QLatin1Char('\t'))) ++N;
  return N;
}

// The whole file as text; a file that cannot be opened raises the stream's
// EFOpenError naming it.
QString ReadSourceFile(const QString& Path) {
  TFileStream File(Path.toStdString(), TFileMode::fmOpenRead);
  std::string Bytes;
  char Buffer[65536];
  for (int64_t N; (N = File.Read(Buffer, sizeof Buffer)) > 0;) Bytes.append(Buffer, static_cast<size_t>(N));
  return QString::fromUtf8(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
}

}  // namespace

QStringList DemoPageList() {
  return {
      QStringLiteral("Introduction;TIntroduction"),
      QStringLiteral("Applications;TApplicationsIntroForm"),
      QStringLiteral("Database interface;TIntroDBForm"),
      QStringLiteral(" Data description;TDataDescForm"),
      QStringLiteral(" Play a doctor;TInterfaceForm;ClassifyInterface"),
      QStringLiteral("Classification accuracy;TIntroClassForm"),
      QStringLiteral(" Cross test;TAccuracyForm;ClassifyAccuracy"),
      QStringLiteral(" Reference results;TLCReferenceForm"),
      QStringLiteral("Benchmark;TLCPerformanceForm;LCPerformance"),
      QStringLiteral("Quick start;TQuickStartForm"),
  };
}

TTopicLine ParseTopicLine(const QString& Line) {
  TTopicLine Topic;
  Topic.Level = LeadingBlanks(Line);
  Topic.Text = Line.mid(Topic.Level);
  const qsizetype Semicolon = Topic.Text.indexOf(QLatin1Char(';'));
  Topic.Caption = Semicolon < 0 ? Topic.Text : Topic.Text.left(Semicolon);
  if (Semicolon < 0) return Topic;
  // The class name, then the optional source name.
  const QString Rest = Topic.Text.mid(Semicolon + 1);
  const qsizetype Second = Rest.indexOf(QLatin1Char(';'));
  TPageEntry& Entry = Topic.Entry.emplace();
  Entry.ClassName = (Second < 0 ? Rest : Rest.left(Second)).toStdString();
  if (Second >= 0) Entry.SourceName = Rest.mid(Second + 1);
  // A class that is not registered is reported when its topic is chosen.
  if (IsPageClassRegistered(Entry.ClassName)) Entry.PageClass = FindPageClass(Entry.ClassName);
  return Topic;
}

std::vector<TTopicNode> LoadTopicTree(QTreeWidget& Tree, const QStringList& Lines) {
  Tree.clear();
  std::vector<TTopicNode> Nodes;
  // Parents[L] is the latest node of level L.
  std::vector<QTreeWidgetItem*> Parents;
  for (const QString& Line : Lines) {
    TTopicLine Topic = ParseTopicLine(Line);
    const int Level = Topic.Level;
    if (Level > static_cast<int>(Parents.size()))
      throw Exception("Invalid level (" + std::to_string(Level) + ") for item \"" + Topic.Text.toStdString() + "\"");
    QTreeWidgetItem* Node = Level == 0 ? new QTreeWidgetItem(&Tree) : new QTreeWidgetItem(Parents[Level - 1]);
    Node->setText(0, Topic.Caption);
    Parents.resize(static_cast<size_t>(Level));
    Parents.push_back(Node);
    Nodes.push_back({Node, std::move(Topic)});
  }
  return Nodes;
}

TfrmMain::TfrmMain(const QStringList& PageList, QWidget* Parent) : QMainWindow(Parent) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Halvorn: Basic Classification package demo"));
  QFont Default(QStringLiteral("MS Sans Serif"));
  Default.setPointSize(8);
  setFont(Default);

  auto* Central = new QWidget(this);
  auto* Layout = new QVBoxLayout(Central);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  setCentralWidget(Central);

  BuildHeader();
  Layout->addWidget(Panel2);

  Splitter1 = new QSplitter(Qt::Horizontal, Central);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setHandleWidth(2);
  Splitter1->setChildrenCollapsible(false);

  TreeView1 = new QTreeWidget(Splitter1);
  TreeView1->setObjectName(QStringLiteral("TreeView1"));
  TreeView1->setHeaderHidden(true);
  TreeView1->setColumnCount(1);
  TreeView1->setIndentation(19);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
  TreeView1->viewport()->setAttribute(Qt::WA_Hover);  // hot tracking
  Colour(TreeView1, QPalette::Base, TreeColour);
  // The selection keeps its colour when the tree loses the focus.
  QPalette TreeColours = TreeView1->palette();
  TreeColours.setColor(QPalette::Inactive, QPalette::Highlight, TreeColours.color(QPalette::Active, QPalette::Highlight));
  TreeColours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                       TreeColours.color(QPalette::Active, QPalette::HighlightedText));
  TreeView1->setPalette(TreeColours);
  TreeView1->setMinimumWidth(60);

  PageControl1 = new QTabWidget(Splitter1);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setTabPosition(QTabWidget::South);
  PageControl1->setDocumentMode(true);
  TabForm = new QWidget;
  TabForm->setObjectName(QStringLiteral("TabForm"));
  auto* FormLayout = new QVBoxLayout(TabForm);
  FormLayout->setContentsMargins(0, 0, 0, 0);
  TabSource = new QWidget;
  TabSource->setObjectName(QStringLiteral("TabSource"));
  auto* SourceLayout = new QVBoxLayout(TabSource);
  SourceLayout->setContentsMargins(0, 0, 0, 0);
  btnConfig = new QPushButton(QStringLiteral("Configure"), TabSource);
  btnConfig->setObjectName(QStringLiteral("btnConfig"));
  btnConfig->setFixedSize(75, 25);
  SourceLayout->addWidget(btnConfig, 0, Qt::AlignLeft | Qt::AlignTop);
  SourceLayout->addStretch(1);
  PageControl1->addTab(TabForm, QStringLiteral("Example"));
  PageControl1->addTab(TabSource, QStringLiteral("Source code"));
  Splitter1->addWidget(TreeView1);
  Splitter1->addWidget(PageControl1);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({177, 1000});
  Layout->addWidget(Splitter1, 1);

  BuildBottomBar();
  Layout->addWidget(Panel1);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  setStatusBar(StatusBar1);

  connect(TreeView1, &QTreeWidget::currentItemChanged, this, Guarded([this](auto...) { TreeView1Change(); }));
  connect(PageControl1, &QTabWidget::currentChanged, this, Guarded([this](int) {
            if (!FActivatingTab) PageControl1Change();
          }));
  connect(btnConfig, &QPushButton::clicked, this, Guarded([this](bool) { btnConfigClick(); }));
  connect(btnNext, &QPushButton::clicked, this, Guarded([this](bool) { btnNextClick(); }));
  connect(btnPrevious, &QPushButton::clicked, this, Guarded([this](bool) { btnPreviousClick(); }));
  connect(btnClose, &QPushButton::clicked, this, [this] { close(); });

  for (QWidget* W : {static_cast<QWidget*>(Panel2), static_cast<QWidget*>(Image1), static_cast<QWidget*>(Label3),
                     TreeView1->viewport()}) {
    W->setMouseTracking(true);
    W->installEventFilter(this);
  }
  FormCreate(PageList);
}

TfrmMain::~TfrmMain() {
  // The children go after this object's members: no handler of ours may run
  // while the tree and the tabs are taken down.
  TreeView1->disconnect(this);
  PageControl1->disconnect(this);
}

void TfrmMain::BuildHeader() {
  Panel2 = new QFrame(centralWidget());
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFixedHeight(81);
  Panel2->setAutoFillBackground(true);
  Colour(Panel2, QPalette::Window, HeaderColour);

  Image1 = NewLabel(Panel2, "Image1", QString());
  Image1->setFixedSize(153, 65);
  Image1->setAttribute(Qt::WA_TranslucentBackground);
  Image1->setPixmap(DemoLogo());

  Label1 = NewLabel(Panel2, "Label1", QStringLiteral("Label1"));
  Label1->setFont(Font("Arial", 23));
  Colour(Label1, QPalette::WindowText, Qt::white);

  Label2 = NewLabel(Panel2, "Label2",
                    QStringLiteral("\"Bringing the power of artrifical inteligence to everyday programmer.\""));
  Label2->setWordWrap(true);
  Label2->setFont(Font("Arial", 12, false, true));
  Colour(Label2, QPalette::WindowText, QColor(192, 192, 192));

  Label3 = NewLabel(Panel2, "Label3", QString::fromLatin1(WebAddress));
  Label3->setFont(Font("MS Sans Serif", 12));
  Label3->setCursor(Qt::PointingHandCursor);
  Colour(Label3, QPalette::WindowText, QColor(255, 255, 0));

  auto* Layout = new QHBoxLayout(Panel2);
  Layout->setContentsMargins(8, 2, 8, 2);
  Layout->setSpacing(16);
  auto* Logo = new QVBoxLayout;
  Logo->setSpacing(0);
  Logo->addWidget(Image1);
  Logo->addWidget(Label3);
  auto* Titles = new QVBoxLayout;
  Titles->setSpacing(2);
  Titles->addStretch(1);
  Titles->addWidget(Label1);
  Titles->addWidget(Label2);
  Titles->addStretch(1);
  Layout->addLayout(Logo);
  Layout->addLayout(Titles, 1);
}

void TfrmMain::BuildBottomBar() {
  Panel1 = new QFrame(centralWidget());
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(31);
  Panel1->setAutoFillBackground(true);
  Colour(Panel1, QPalette::Window, HeaderColour);
  auto* Layout = new QHBoxLayout(Panel1);
  Layout->setContentsMargins(8, 3, 8, 3);
  Layout->setSpacing(4);
  const auto NewButton = [this, Layout](const char* Name, const QString& Text, bool Bold) {
    auto* Button = new QPushButton(Text, Panel1);
    Button->setObjectName(QString::fromLatin1(Name));
    Button->setFlat(true);
    QPalette P = Button->palette();
    P.setColor(QPalette::ButtonText, Qt::white);
    P.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 160, 185));
    P.setColor(QPalette::Button, HeaderColour);
    Button->setPalette(P);
    QFont F = Button->font();
    F.setBold(Bold);
    Button->setFont(F);
    Button->setMinimumWidth(Bold ? 32 : 75);
    Layout->addWidget(Button);
    return Button;
  };
  btnPrevious = NewButton("btnPrevious", QStringLiteral("<"), true);
  btnNext = NewButton("btnNext", QStringLiteral(">"), true);
  btnClose = NewButton("btnClose", QStringLiteral("&Close"), false);
  btnHelp = NewButton("btnHelp", QStringLiteral("Corvan &Help"), false);
  btnHelp->setMinimumWidth(90);
  Layout->addStretch(1);
}

void TfrmMain::FormCreate(const QStringList& PageList) {
  ActivateTab(TabForm);
  for (TTopicNode& Topic : LoadTopicTree(*TreeView1, PageList)) {
    FNodes.push_back(Topic.Node);
    if (Topic.Line.Entry) FEntries.emplace(Topic.Node, std::move(*Topic.Line.Entry));
  }
  if (QTreeWidgetItem* First = NodeAt(0)) First->setExpanded(true);
}

const TPageEntry* TfrmMain::Entry(const QTreeWidgetItem* Node) const {
  const auto Found = FEntries.find(Node);
  return Found == FEntries.end() ? nullptr : &Found->second;
}

QString TfrmMain::SelectedSourceName() const {
  const TPageEntry* E = Entry(TreeView1->currentItem());
  return E ? E->SourceName : QString();
}

int TfrmMain::AbsoluteIndex(const QTreeWidgetItem* Node) const {
  if (!Node) return -1;
  const auto Found = std::find(FNodes.begin(), FNodes.end(), Node);
  return Found == FNodes.end() ? -1 : static_cast<int>(Found - FNodes.begin());
}

QTreeWidgetItem* TfrmMain::NodeAt(int Index) const {
  if (Index < 0 || Index >= NodeCount()) return nullptr;
  return FNodes[static_cast<size_t>(Index)];
}

int TfrmMain::NodeCount() const { return static_cast<int>(FNodes.size()); }

void TfrmMain::ActivateTab(QWidget* Tab) {
  FActivatingTab = true;
  PageControl1->setCurrentWidget(Tab);
  FActivatingTab = false;
}

void TfrmMain::TreeView1Change() {
  ActivateTab(TabForm);
  // The window follows the selection first: a page that fails to come up
  // is reported with the rest of the window already right.
  QTreeWidgetItem* Node = TreeView1->currentItem();
  const int Index = AbsoluteIndex(Node);
  if (Node) {
    Label1->setText(Node->text(0));
    StatusBar1->showMessage(Node->text(0));
  }
  btnPrevious->setEnabled(Node && Index > 0);
  btnNext->setEnabled(Node && Index < NodeCount() - 1);
  FActivatingTab = true;
  PageControl1->setTabVisible(PageControl1->indexOf(TabSource), !SelectedSourceName().isEmpty());
  FActivatingTab = false;
  ShowSelectedPage();
}

void TfrmMain::ShowSelectedPage() {
  const TPageEntry* E = Entry(TreeView1->currentItem());
  if (!E) return;
  delete FPage;
  FPage = nullptr;
  CreatePage(*E);
}

void TfrmMain::CreatePage(const TPageEntry& E) {
  if (!E.PageClass) FindPageClass(E.ClassName);  // raises "Class ... not found"
  QWidget* Page = E.PageClass(this);
  FPage = Page;
  Page->hide();
  Page->setParent(TabForm);
  Page->setWindowFlags(Qt::Widget);
  TabForm->layout()->addWidget(Page);
  Page->show();
}

void TfrmMain::SelectNode(int Index) {
  QTreeWidgetItem* Node = NodeAt(Index);
  if (!Node) return;
  for (QTreeWidgetItem* Parent = Node->parent(); Parent; Parent = Parent->parent()) Parent->setExpanded(true);
  TreeView1->setCurrentItem(Node);
  TreeView1->scrollToItem(Node);
}

void TfrmMain::btnNextClick() { SelectNode(AbsoluteIndex(TreeView1->currentItem()) + 1); }

void TfrmMain::btnPreviousClick() {
  const int Index = AbsoluteIndex(TreeView1->currentItem());
  if (Index > 0) SelectNode(Index - 1);
}

void TfrmMain::DiscardSourceView() {
  delete FSourceView;
  FSourceView = nullptr;
  FShownSource.clear();
}

void TfrmMain::PageControl1Change() {
  if (PageControl1->currentWidget() != TabSource) return;
  // A folder that lost the project file is forgotten.
  if (!HoldsProjectFile(GetDemoPath())) ForgetDemoSettings();
  const QString Folder = GetDemoPath();
  btnConfig->setVisible(Folder.isEmpty());
  const QString Source = SelectedSourceName();
  if (Folder.isEmpty() || Source.isEmpty()) {
    DiscardSourceView();
    return;
  }
  if (FSourceView && FShownSource == Source) return;
  DiscardSourceView();
  auto* View = new QTextEdit(TabSource);
  View->setObjectName(QStringLiteral("SourceView"));
  View->setReadOnly(true);
  View->setLineWrapMode(QTextEdit::NoWrap);
  View->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  View->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont Courier(QStringLiteral("Courier New"));
  Courier.setStyleHint(QFont::TypeWriter);
  Courier.setPointSize(9);
  View->setFont(Courier);
  auto* Layout = static_cast<QVBoxLayout*>(TabSource->layout());
  // Replaces the stretch below the button.
  if (QLayoutItem* Stretch = Layout->itemAt(Layout->count() - 1); Stretch && Stretch->spacerItem())
    delete Layout->takeAt(Layout->count() - 1);
  Layout->addWidget(View, 1);
  FSourceView = View;
  View->setPlainText(ReadSourceFile(QDir(Folder).filePath(Source + QString::fromLatin1(SourceFileExtension))));
  HighlightSource(*View, CppDefinition());
  FShownSource = Source;
}

void TfrmMain::btnConfigClick() {
  const QString Title = QStringLiteral("Folder with Corvan demo source");
  const QString Folder = FFolderChooser ? FFolderChooser(this, Title)
                                        : QFileDialog::getExistingDirectory(this, Title, QString(),
                                                                            QFileDialog::ShowDirsOnly);
  if (Folder.isEmpty()) return;
  SetDemoPath(Folder);
  PageControl1Change();
}

void TfrmMain::Label3Click() { QDesktopServices::openUrl(QUrl::fromUserInput(Label3->text())); }

void TfrmMain::SetLabel3Underlined(bool Underlined) {
  QFont F = Label3->font();
  if (F.underline() == Underlined) return;
  F.setUnderline(Underlined);
  Label3->setFont(F);
}

bool TfrmMain::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::MouseMove) {
    SetLabel3Underlined(Watched == Label3);
    // The label's own move must not reach the header panel beneath it.
    if (Watched == Label3) return true;
  } else if (Watched == Label3 && Event->type() == QEvent::MouseButtonRelease) {
    CallGuarded([this] { Label3Click(); });
    return true;
  }
  return QMainWindow::eventFilter(Watched, Event);
}

void TfrmMain::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (FShownOnce) return;
  FShownOnce = true;
  // The tree takes the focus first and selects its first node, which shows
  // the first page.
  TreeView1->setFocus();
  if (!TreeView1->currentItem() && NodeAt(0)) TreeView1->setCurrentItem(NodeAt(0));
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
  // FormClose: the nodes' entries go; pages and the source view go with the
  // window.
  FEntries.clear();
  QMainWindow::closeEvent(Event);
}
