// Tool: writes "ClassificationReference.rtf", the reference results page of
// the demo: the cross test with 30 runs over the sample tables, without and
// with pruning, as `pellory crosstest --runs 30 [--prune]` prints it. The
// figures are reproducible (the splits are stored in the tables and no
// classifier draws random numbers); only the times depend on the machine.
//
//   make_reference_text OUTPUT.rtf DATA_FOLDER
#include <sys/utsname.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "CrossTest.h"
#include "DataSource.h"
#include "Exceptions.h"
#include "GeneratedFile.h"
#include "TextStyle.h"

namespace {

constexpr int32_t Runs = TCrossTestLimits::MaxRuns;
constexpr int32_t Neighbours = TCrossTestLimits::DefaultNeighbors;

// Courier at 8 points is 96 twips a character: 15 characters for the table
// names, 18 for every other column.
TRichTextParagraphStyle GridStyle() {
  TRichTextParagraphStyle Style;
  for (int32_t Col = 0; Col < TResultGrid::ColCount - 1; ++Col) Style.TabStops.push_back(1440 + Col * 1728);
  return Style;
}

TRichTextFormat GridFormat() {
  TRichTextFormat Format = TextStyle::Fixed();
  Format.HalfPoints = 16;
  return Format;
}

std::string JoinRow(std::vector<std::string> Cells) {
  std::string Line;
  for (size_t C = 0; C < Cells.size(); ++C) Line += (C ? "\t" : "") + Cells[C];
  return Line;
}

// The grid as the tool prints it, the headings in bold.
void WriteGrid(TRichTextWriter& Out, const TCrossTest& Test) {
  TRichTextFormat Heads = GridFormat();
  Heads.Bold = true;
  const std::vector<std::vector<std::string>> Lines = Test.GridLines();
  for (size_t I = 0; I < Lines.size(); ++I)
    Out.Paragraph(JoinRow(Lines[I]), I == 0 ? Heads : GridFormat(), GridStyle());
}

std::string Command(bool Pruning) {
  return "pellory crosstest --runs " + std::to_string(Runs) + (Pruning ? " --prune" : "");
}

void RunInto(TRichTextWriter& Out, const std::string& DataFolder, bool Pruning) {
  const TDataSource Source(DataFolder, false);
  TCrossTest Test(nullptr, Source);
  Test.SetRuns(Runs);
  Test.SetKNeighbors(Neighbours);
  Test.SetPruning(Pruning);
  Test.SetOnProgress([](const TCrossTestProgress& P) {
    if (P.Split < 0 && !P.Optimizing) std::cout << "  " << P.Classifier << " " << P.Table << "\n" << std::flush;
  });
  Test.Run();
  Out.Paragraph("", TextStyle::Body());
  Out.Paragraph(Pruning ? "With pruning" : "Without pruning", TextStyle::Heading());
  Out.Paragraph(std::string(Pruning ? "Prune checked; " : "Prune unchecked; ") + Command(Pruning), TextStyle::Body());
  WriteGrid(Out, Test);
}

std::string BuildText() {
  const std::string Type = PELLORY_BUILD_TYPE;
  return Type.empty() ? "default build" : Type + " build";
}

std::string MachineText() {
  utsname Name{};
  std::string Text = uname(&Name) == 0 ? std::string(Name.sysname) + " " + Name.machine : "unknown system";
  return Text + ", " + std::to_string(std::thread::hardware_concurrency()) + " processors";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_reference_text OUTPUT.rtf DATA_FOLDER\n";
    return 2;
  }
  const std::string Output = argv[1], DataFolder = argv[2];
  try {
    using namespace TextStyle;
    TRichTextWriter Out(Fonts);
    Out.Paragraph("Reference results", Title());
    Out.Paragraph("", Body());
    Out.Paragraph("These are the results of the cross test (topic \"Cross test\") on the sample tables that come "
                  "with this program: " + std::to_string(Runs) + " test runs, " + std::to_string(Neighbours) +
                      " neighbours for the k-nearest-neighbours classifier, first "
                  "with the Prune box unchecked, then checked. Run the cross test with the same settings and you "
                  "get the same figures: the splits of every table are stored in the table itself, and no "
                  "classifier draws random numbers. Only the times differ from machine to machine.",
                  Body());
    Out.Paragraph("", Body());
    Out.BeginParagraph();
    Out.Text("How they were made: ", Strong());
    Out.Text("with the command-line tool of the package, which runs the same cross test as the page: ", Body());
    Out.Text(Command(false), Fixed());
    Out.Text(" and ", Body());
    Out.Text(Command(true), Fixed());
    Out.Text(". The build target reference_text writes this file from the same code; a test of the package "
             "reruns both and compares every figure with this file. The times are those of the run that wrote "
             "it (" + BuildText() + ", " + MachineText() + ").",
             Body());
    Out.EndParagraph(Body());
    Out.Paragraph("", Body());
    Out.Paragraph("Reading the grids:", Body());
    const auto Item = [&](const std::string& Label, const std::string& Text) {
      Out.BeginParagraph(Bullet());
      Out.Text(Label + ": ", Strong());
      Out.Text(Text, Body());
      Out.EndParagraph(Body());
    };
    Item("LC, NB, KNN Success [%]", "the share of test rows that the linear classifier, naive Bayes and k-nearest "
                                    "neighbours classified right, as mean +/- standard deviation over the " + std::to_string(Runs) + " splits.");
    Item("Test examples", "the rows in the test part of a split; about two thirds of the rows are learned.");
    Item("Prior probability", "the share of the majority class among the learned rows, in percent: what a "
                              "classifier gets that always guesses that class.");
    Item("Best attr. succ.[%]", "the success of the single attribute that separates the classes best, as the "
                                "linear classifier measures it.");
    Item("Time [min:sec]", "the run time of each classifier over all tables.");
    Out.Paragraph("", Body());
    Out.Paragraph("Naive Bayes learns discrete attributes only; on tables whose attributes are all float values "
                  "it can only follow the prior probability. " + std::string(TCrossTestLimits::SkippedTable) +
                      " is skipped, and " + TCrossTestLimits::UnprunedTable +
                      ", the largest table, is never pruned, so its figures are the same in both grids. Pruning "
                      "first learns the whole table, then keeps the attributes that raise the measured accuracy.",
                  Body());
    std::cout << "without pruning\n";
    RunInto(Out, DataFolder, false);
    std::cout << "with pruning\n";
    RunInto(Out, DataFolder, true);

    WriteGeneratedFile(Output, Out.Finish());
    std::cout << "written " << Output << "\n";
    return 0;
  } catch (const std::exception& Error) {
    std::cerr << "make_reference_text: " << Error.what() << "\n";
    return 1;
  }
}
