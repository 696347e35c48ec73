// Field names of the sample layout.
#include "SampleLayout.h"

std::string TSampleLayout::SplitField(int32_t Split) { return "Split" + std::to_string(Split); }

std::vector<std::string> TSampleLayout::LayoutFields() {
  std::vector<std::string> Names = {IdField, ClassField, ValueField};
  for (int32_t S = 0; S < SplitCount; ++S) Names.push_back(SplitField(S));
  return Names;
}

std::vector<std::string> TSampleLayout::IgnoredFields() {
  std::vector<std::string> Names = {IdField, ValueField};
  for (int32_t S = 0; S < SplitCount; ++S) Names.push_back(SplitField(S));
  return Names;
}
