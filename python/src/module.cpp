// tavo._tavo: the extension module under the Python package tavo.  The
// package (python/tavo) wraps these functions in the documented API; call
// that, not this.
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "failure.h"

PYBIND11_MODULE(_tavo, m)
{
    m.doc() = "The C++ core of the tavo package: reading, surveying, drawing, converting.";
    m.attr("__version__") = TAVO_VERSION;
    tavo_py::register_failures();
    tavo_py::bind_read(m);
    tavo_py::bind_info(m);
    tavo_py::bind_plot(m);
#ifdef TAVO_HAVE_ENGINE
    tavo_py::bind_convert(m);
#endif
}
