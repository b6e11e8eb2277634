// tavo._tavo: the parts of the extension module, each registered by its own
// file.
#ifndef TAVO_PYTHON_BINDINGS_H
#define TAVO_PYTHON_BINDINGS_H

#include <pybind11/pybind11.h>

namespace tavo_py {

void bind_read(pybind11::module_& m);     // read_binding.cpp
void bind_info(pybind11::module_& m);     // info_binding.cpp
void bind_plot(pybind11::module_& m);     // plot_binding.cpp
void bind_convert(pybind11::module_& m);  // convert_binding.cpp, with the engine

}  // namespace tavo_py

#endif  // TAVO_PYTHON_BINDINGS_H
