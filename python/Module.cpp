// The compiled half of the varno package: loads data logs through the conversion library
// and hands their entries over as NumPy arrays. varno/__init__.py makes pandas frames of
// them. The interpreter lock is released while the library loads and while the arrays are
// filled; no value becomes a Python object.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <python/LogColumns.h>

namespace py = pybind11;
using namespace varno::python;

namespace {

// Texts of the library and the files are bytes; Latin-1 maps each to one character.
py::str latin1(const std::string& text)
{
    return py::reinterpret_steal<py::str>(PyUnicode_DecodeLatin1(text.data(), py::ssize_t(text.size()), nullptr));
}

py::list latin1List(const std::vector<std::string>& texts)
{
    py::list list(texts.size());
    for (size_t k = 0; k < texts.size(); ++k)
        list[k] = latin1(texts[k]);
    return list;
}

// The time unit of the arrays: "s", or "ns" for pandas versions that keep nothing else.
int64_t unitsPerSecond(const std::string& unit)
{
    if (unit == "s")
        return 1;
    if (unit == "ns")
        return 1000000000;
    throw py::value_error("time unit must be 's' or 'ns'");
}

py::array timeArray(size_t rows, const std::string& unit)
{
    return py::array(py::dtype("M8[" + unit + "]"), std::vector<py::ssize_t>{py::ssize_t(rows)});
}

struct Loaded {
    std::unique_ptr<CDataStore> data;
    std::vector<size_t> emptyPaths;
};

Loaded load(const std::vector<std::string>& paths)
{
    Loaded loaded;
    py::gil_scoped_release unlocked;
    loaded.data = LoadAll(paths, loaded.emptyPaths);
    return loaded;
}

// (times, column names, values as an array of columns x rows, indexes of the paths that
// gave no value entry).
py::tuple readValues(const std::vector<std::string>& paths, const std::vector<std::string>& selection,
                     const std::string& unit)
{
    const int64_t units = unitsPerSecond(unit);
    Loaded loaded = load(paths);
    std::unique_ptr<CValueColumns> columns;
    {
        py::gil_scoped_release unlocked;
        columns = selection.empty() ? std::make_unique<CValueColumns>(*loaded.data)
                                    : std::make_unique<CValueColumns>(*loaded.data, selection);
    }
    const size_t rows = columns->Rows();
    py::array times = timeArray(rows, unit);
    py::array_t<float> values(std::vector<py::ssize_t>{py::ssize_t(columns->Names().size()), py::ssize_t(rows)});
    int64_t* timeData = static_cast<int64_t*>(times.mutable_data());
    float* valueData = values.mutable_data();
    {
        py::gil_scoped_release unlocked;
        columns->Fill(units, timeData, valueData);
    }
    return py::make_tuple(times, latin1List(columns->Names()), values, loaded.emptyPaths);
}

// (times, flags, texts) of the text entries.
py::tuple readTexts(const std::vector<std::string>& paths, const std::string& unit)
{
    const int64_t units = unitsPerSecond(unit);
    Loaded loaded = load(paths);
    TextEntries entries;
    {
        py::gil_scoped_release unlocked;
        entries = ReadTexts(*loaded.data, units);
    }
    py::array times = timeArray(entries.times.size(), unit);
    std::copy(entries.times.begin(), entries.times.end(), static_cast<int64_t*>(times.mutable_data()));
    py::array_t<int32_t> flags(entries.flags.size());
    std::copy(entries.flags.begin(), entries.flags.end(), flags.mutable_data());
    return py::make_tuple(times, flags, latin1List(entries.texts));
}

} // namespace

PYBIND11_MODULE(_varno, module)
{
    module.doc() = "Data logs loaded through the conversion library, as NumPy arrays";

    // Raised with (index of the path, the library's message).
    static py::exception<LoadFailure> loadFailure(module, "LoadFailure");
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown)
                std::rethrow_exception(thrown);
        } catch (const LoadFailure& failure) {
            PyErr_SetObject(loadFailure.ptr(), py::make_tuple(failure.index, latin1(failure.message)).ptr());
        }
    });

    module.def("read_values", &readValues, py::arg("paths"), py::arg("selection"), py::arg("unit"),
               "Loads the files into one conversion object; returns (times, names, values[column, row], "
               "indexes of the files without value entries). An empty selection gives every column.");
    module.def("read_texts", &readTexts, py::arg("paths"), py::arg("unit"),
               "Loads the files into one conversion object; returns (times, flags, texts) of its text entries.");
    module.attr("library_version") = latin1(ostrel_getversionstring());
}
