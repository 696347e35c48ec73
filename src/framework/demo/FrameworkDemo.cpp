// A short tour of the component framework: ownership, free notification, a
// sorted string list and a property stream round trip shown as a hex dump.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Framework.h"

namespace {

enum class TMood { mdCalm, mdCurious, mdBusy };

// A component with a few published properties and a reference to another.
class TDemoComponent : public TComponent {
public:
  using TComponent::TComponent;
  ~TDemoComponent() override { std::cout << "  destroying " << Name() << "\n"; }
  std::string TypeName() const override { return "TDemoComponent"; }

  void DefineProperties(TPropertyList& List) const override {
    TComponent::DefineProperties(List);
    List.push_back(MakeProperty<TPropertyKind::pkFloat, TDemoComponent>("Ratio", &TDemoComponent::Ratio,
                                                                        &TDemoComponent::SetRatio));
    List.push_back(MakeProperty<TPropertyKind::pkEnumeration, TDemoComponent>(
        "Mood", &TDemoComponent::Mood, &TDemoComponent::SetMood, {}, {"mdCalm", "mdCurious", "mdBusy"}));
    List.push_back(MakeProperty<TPropertyKind::pkStrings, TDemoComponent>(
        "Items.Strings", &TDemoComponent::Items, &TDemoComponent::SetItems));
  }

  double Ratio() const { return FRatio; }
  void SetRatio(double V) { FRatio = V; }
  TMood Mood() const { return FMood; }
  void SetMood(TMood V) { FMood = V; }
  const std::vector<std::string>& Items() const { return FItems; }
  void SetItems(const std::vector<std::string>& V) { FItems = V; }

  TComponent* Partner() const { return FPartner; }
  void SetPartner(TComponent* C) {
    FPartner = C;
    if (C) C->FreeNotification(this);
  }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation == TOperation::opRemove && AComponent == FPartner) {
      std::cout << "  " << Name() << " is told that its partner goes and drops it\n";
      FPartner = nullptr;
    }
    TComponent::Notification(AComponent, Operation);
  }

private:
  double FRatio = 0;
  TMood FMood = TMood::mdCalm;
  std::vector<std::string> FItems;
  TComponent* FPartner = nullptr;
};

void HexDump(const std::vector<uint8_t>& Bytes) {
  for (size_t Row = 0; Row < Bytes.size(); Row += 16) {
    std::printf("  %04zx  ", Row);
    for (size_t I = Row; I < Row + 16; ++I) {
      if (I < Bytes.size()) std::printf("%02x ", Bytes[I]);
      else std::printf("   ");
    }
    std::printf(" ");
    for (size_t I = Row; I < Row + 16 && I < Bytes.size(); ++I)
      std::printf("%c", Bytes[I] >= 32 && Bytes[I] < 127 ? Bytes[I] : '.');
    std::printf("\n");
  }
  std::fflush(stdout);
}

}  // namespace

int main() {
  try {
    std::cout << "Ownership and free notification\n";
    {
      TDemoComponent Form(nullptr);
      Form.SetName("Form1");
      auto* Dataset = CreateOwned<TDemoComponent>(Form);
      Dataset->SetName("Dataset1");
      auto* Binding = CreateOwned<TDemoComponent>(Form);
      Binding->SetName("Binding1");
      Binding->SetPartner(Dataset);
      std::cout << "  Form1 owns " << Form.ComponentCount() << " components; FindComponent(\"dataset1\") -> "
                << Form.FindComponent("dataset1")->Name() << "\n";
      try {
        Binding->SetName("DATASET1");
      } catch (const Exception& E) {
        std::cout << "  renaming Binding1: " << E.Message() << "\n";
      }
      delete Dataset;
      std::cout << "  Binding1 partner now " << (Binding->Partner() ? "set" : "empty") << "\n";
      std::cout << "  Form1 goes out of scope:\n";
    }

    std::cout << "\nSorted string list (letter case ignored, equal strings keep their order)\n";
    TStringList List;
    List.SetSorted(true);
    List.SetDuplicates(TDuplicates::dupAccept);
    for (const char* S : {"yes", "No", "maybe", "YES", "no"}) List.Add(S);
    for (int32_t I = 0; I < List.Count(); ++I) std::cout << "  " << I << ": " << List.Strings(I) << "\n";
    std::cout << "  IndexOf(\"MAYBE\") = " << List.IndexOf("MAYBE") << "\n";
    try {
      List.Strings(9);
    } catch (const EListError& E) {
      std::cout << "  Strings(9): " << E.Message() << "\n";
    }

    std::cout << "\nProperty stream round trip\n";
    TDemoComponent Source(nullptr);
    Source.SetName("Demo1");
    Source.SetTag(128);
    Source.SetRatio(0.01);
    Source.SetMood(TMood::mdCurious);
    Source.SetItems({"yes", "no"});
    TMemoryStream Stream;
    WriteComponent(Stream, Source);
    HexDump(Stream.Bytes());
    Stream.SetPosition(0);
    TDemoComponent Copy(nullptr);
    ReadComponent(Stream, Copy);
    std::cout << "  read back: Name " << Copy.Name() << ", Tag " << Copy.Tag() << ", Ratio "
              << FloatToShortest(Copy.Ratio()) << ", Mood " << static_cast<int>(Copy.Mood()) << ", Items "
              << Copy.Items().size() << "\n";

    std::vector<uint8_t> Broken(Stream.Bytes().begin(), Stream.Bytes().end() - 3);
    TMemoryStream Short(Broken);
    try {
      ReadComponent(Short, Copy);
    } catch (const Exception& E) {
      std::cout << "  a block cut short: " << E.Message() << "\n";
    }
    std::cout << "  destroying the last components:\n";
  } catch (const Exception& E) {
    std::cerr << "framework_demo: " << E.Message() << "\n";
    return 1;
  }
  return 0;
}
