// The extension module `pellory._pellory`: TModelHandle for Python.
//
// Arrays arrive already checked and converted by the package's Python side
// (pellory/_input.py): C-contiguous int32 and float64 blocks, read in place.
// The GIL is released while the engine learns or classifies, so other Python
// threads run meanwhile. Engine errors (Exception) reach Python as
// ValueError carrying the engine's message.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <span>
#include <string>

#include "ArrayBlocks.h"
#include "Exceptions.h"
#include "ModelHandle.h"

namespace py = pybind11;

namespace {

using TIntBlock = py::array_t<int32_t, py::array::c_style>;
using TFloatBlock = py::array_t<double, py::array::c_style>;

// A C-contiguous block of rows x columns, its values as one span.
template <class T> std::span<const T> Values(const py::array_t<T, py::array::c_style>& A, const char* Name) {
  if (A.ndim() != 2) throw py::value_error(std::string(Name) + " must be a 2-D block");
  return {A.data(), static_cast<size_t>(A.size())};
}

std::span<const uint8_t> BytesOf(const py::bytes& B) {
  const std::string_view View = B;  // no copy: a view of the Python object
  return {reinterpret_cast<const uint8_t*>(View.data()), View.size()};
}

py::bytes ToBytes(const std::vector<uint8_t>& V) {
  return py::bytes(reinterpret_cast<const char*>(V.data()), V.size());
}

py::array_t<int32_t> Classify(TModelHandle& M, const TIntBlock& D, const TFloatBlock& F, int32_t Threads) {
  const auto Discrete = Values(D, "discrete");
  const auto Float = Values(F, "float");
  py::array_t<int32_t> Guesses(D.shape(0));
  std::span<int32_t> Out(Guesses.mutable_data(), static_cast<size_t>(Guesses.size()));
  py::gil_scoped_release Release;
  M.Classify(Discrete, Float, Out, Threads);
  return Guesses;
}

py::array_t<double> Responses(TModelHandle& M, const TIntBlock& D, const TFloatBlock& F) {
  const auto Discrete = Values(D, "discrete");
  const auto Float = Values(F, "float");
  const auto Classes = static_cast<py::ssize_t>(M.ClassNames().size());
  py::array_t<double> Result({D.shape(0), Classes});
  std::span<double> Out(Result.mutable_data(), static_cast<size_t>(Result.size()));
  py::gil_scoped_release Release;
  M.Responses(Discrete, Float, Out);
  return Result;
}

void Learn(TModelHandle& M, const TIntBlock& D, const TFloatBlock& F, const py::array_t<int32_t, py::array::c_style>& Y) {
  const auto Discrete = Values(D, "discrete");
  const auto Float = Values(F, "float");
  if (Y.ndim() != 1) throw py::value_error("class positions must be a 1-D block");
  std::span<const int32_t> Classes(Y.data(), static_cast<size_t>(Y.size()));
  py::gil_scoped_release Release;
  M.Learn(Discrete, Float, Classes);
}

py::dict SettingsDict(const TModelSettings& S) {
  py::dict R;
  if (S.RejectProbability) R["reject_probability"] = *S.RejectProbability;
  if (S.UsePrior) R["use_prior"] = *S.UsePrior;
  if (S.M) R["m"] = *S.M;
  if (S.K) R["k"] = *S.K;
  if (S.Euclidean) R["euclidean"] = *S.Euclidean;
  if (S.MissingFloatValue) R["missing_float_value"] = *S.MissingFloatValue;
  return R;
}

TModelSettings SettingsOf(const py::dict& D) {
  TModelSettings S;
  auto Get = [&](const char* Key, auto& Field) {
    if (D.contains(Key)) Field = D[Key].cast<typename std::decay_t<decltype(Field)>::value_type>();
  };
  Get("reject_probability", S.RejectProbability);
  Get("use_prior", S.UsePrior);
  Get("m", S.M);
  Get("k", S.K);
  Get("euclidean", S.Euclidean);
  Get("missing_float_value", S.MissingFloatValue);
  return S;
}

// The discrete and the float block of a float64 table (see ArrayBlocks.h).
py::tuple Split(const TFloatBlock& X, const py::array_t<int32_t, py::array::c_style>& DiscreteColumns,
                int32_t Offset) {
  const auto Table = Values(X, "X");
  const auto Rows = X.shape(0), Columns = X.shape(1);
  const auto D = static_cast<py::ssize_t>(DiscreteColumns.size());
  py::array_t<int32_t> Discrete({Rows, D});
  py::array_t<double> Float({Rows, Columns - D});
  std::span<const int32_t> Chosen(DiscreteColumns.data(), static_cast<size_t>(D));
  std::span<int32_t> OutD(Discrete.mutable_data(), static_cast<size_t>(Discrete.size()));
  std::span<double> OutF(Float.mutable_data(), static_cast<size_t>(Float.size()));
  {
    py::gil_scoped_release Release;
    SplitColumns(Table, static_cast<size_t>(Rows), static_cast<size_t>(Columns), Chosen, Offset, OutD, OutF);
  }
  return py::make_tuple(Discrete, Float);
}

}  // namespace

PYBIND11_MODULE(_pellory, m) {
  m.doc() = "The classification engine under the estimators of the package pellory.";
  py::register_exception<Exception>(m, "EngineError", PyExc_ValueError);

  m.def("split_columns", &Split, py::arg("X"), py::arg("discrete_columns"), py::arg("offset"));

  py::class_<TModelHandle>(m, "Model")
      .def(py::init<const std::string&>(), py::arg("class_name"))
      .def_property_readonly("class_name", &TModelHandle::ClassName)
      .def(
          "configure",
          [](TModelHandle& M, std::optional<double> RejectProbability, std::optional<bool> UsePrior,
             std::optional<int32_t> Mest, std::optional<int32_t> K, std::optional<bool> Euclidean,
             std::optional<std::string> MissingFloatValue) {
            M.Configure({RejectProbability, UsePrior, Mest, K, Euclidean, MissingFloatValue});
          },
          py::arg("reject_probability") = py::none(), py::arg("use_prior") = py::none(), py::arg("m") = py::none(),
          py::arg("k") = py::none(), py::arg("euclidean") = py::none(),
          py::arg("missing_float_value") = py::none())
      .def("settings", [](const TModelHandle& M) { return SettingsDict(M.Settings()); })
      .def_property_readonly("indexes_zero_based", &TModelHandle::IndexesZeroBased)
      .def_property_readonly("discrete_count", &TModelHandle::DiscreteCount)
      .def_property_readonly("float_count", &TModelHandle::FloatCount)
      .def("set_attribute_counts", &TModelHandle::SetAttributeCounts)
      .def("class_names", &TModelHandle::ClassNames)
      .def("add_class", &TModelHandle::AddClass)
      .def("learn", &Learn)
      .def("classify", &Classify, py::arg("discrete"), py::arg("float"), py::arg("threads") = 1)
      .def("responses", &Responses)
      .def("save_model", [](const TModelHandle& M) { return ToBytes(M.SaveModel()); })
      .def("load_model", [](TModelHandle& M, const py::bytes& B) { M.LoadModel(BytesOf(B)); })
      .def("save_state", [](const TModelHandle& M) { return ToBytes(M.SaveState()); })
      .def("load_state", [](TModelHandle& M, const py::bytes& B) { M.LoadState(BytesOf(B)); })
      .def("merge", [](TModelHandle& M, const TModelHandle& Other) {
        py::gil_scoped_release Release;
        M.Merge(Other);
      })
      // Models travel to other processes as their learning state, with the
      // settings beside it: the state's model stream leaves out a setting
      // at its default (a reject probability of 0), which loading would
      // read as the class's own default.
      .def(py::pickle(
          [](const TModelHandle& M) {
            return py::make_tuple(M.ClassName(), ToBytes(M.SaveState()), SettingsDict(M.Settings()));
          },
          [](const py::tuple& T) {
            if (T.size() != 3) throw py::value_error("not a pickled pellory model");
            auto M = std::make_unique<TModelHandle>(T[0].cast<std::string>());
            M->LoadState(BytesOf(T[1].cast<py::bytes>()));
            M->Configure(SettingsOf(T[2].cast<py::dict>()));
            return M;
          }))
      .def_static("stream_class_name", [](const py::bytes& B) { return TModelHandle::StreamClassName(BytesOf(B)); });
}
