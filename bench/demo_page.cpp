// The benchmark page against `pellory bench`: both run the same measurement
// of the Experiments library, so the page's learning rate, with its
// progress shown every 1000 cases, should come within 10 % of the tool's.
//
//   bench_demo_page [--learn N] [--runs R]
//
// Drives the page on the offscreen platform (shown, so its repaints are
// real), alternating page and tool runs so both see the same machine load;
// compares the best rate of each. Exit status 1 when the page is more than
// 10 % slower.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "DemoApplication.h"
#include "LCPerformance.h"

namespace {

// The number of the first "<n> Cases/second" in Text; 0 when there is none.
double FirstRate(const QString& Text) {
  const auto Match = QRegularExpression(QStringLiteral("(\\d+) Cases/second")).match(Text);
  return Match.hasMatch() ? Match.captured(1).toDouble() : 0.0;
}

double PageRate(TLcPerformanceForm& Page) {
  Page.LearnButton->click();
  return FirstRate(Page.CasesPerSecondLabel->text());
}

double ToolRate(int Learn) {
  QProcess Tool;
  Tool.start(QStringLiteral(PELLORY_TOOL),
             {"bench", "--learn", QString::number(Learn), "--test", "1000", "--classes", "20", "--discrete", "15",
              "--float", "15"});
  if (!Tool.waitForFinished(600000) || Tool.exitCode() != 0) {
    std::fprintf(stderr, "pellory bench failed: %s\n", Tool.readAllStandardError().constData());
    return 0.0;
  }
  return FirstRate(QString::fromUtf8(Tool.readAllStandardOutput()));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int Learn = 2000000;
  int Runs = 5;
  for (int I = 1; I + 1 < argc; I += 2) {
    if (std::strcmp(argv[I], "--learn") == 0) Learn = std::stoi(argv[I + 1]);
    if (std::strcmp(argv[I], "--runs") == 0) Runs = std::stoi(argv[I + 1]);
  }
  TDemoApplication Application(argc, argv);
  SetMessageShower([](const QString& Message) { std::fprintf(stderr, "page error: %s\n", qPrintable(Message)); });

  TLcPerformanceForm Page(nullptr);
  Page.resize(900, 500);
  Page.show();
  QApplication::processEvents();
  Page.ClassesEdit->setText(QStringLiteral("20"));
  Page.DAttributesEdit->setText(QStringLiteral("15"));
  Page.FAttributesEdit->setText(QStringLiteral("15"));
  Page.LearnEdit->setText(QString::number(Learn));

  double BestPage = 0.0, BestTool = 0.0;
  for (int R = 0; R < Runs; ++R) {
    const double P = PageRate(Page);
    const double T = ToolRate(Learn);
    std::printf("run %d: page %.0f, pellory bench %.0f cases/second\n", R + 1, P, T);
    BestPage = std::max(BestPage, P);
    BestTool = std::max(BestTool, T);
  }
  if (BestTool <= 0.0 || BestPage <= 0.0) return 2;
  const double Ratio = BestPage / BestTool;
  std::printf("best: page %.0f, pellory bench %.0f cases/second; page/tool = %.3f (%s)\n", BestPage, BestTool,
              Ratio, Ratio >= 0.9 ? "within 10 %" : "more than 10 % slower");
  return Ratio >= 0.9 ? 0 : 1;
}
