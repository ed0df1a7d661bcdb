// The Python module kov._kov: kov's core for the pure-Python package kov.

#include "python/binding.h"

PYBIND11_MODULE(_kov, m)
{
    m.doc() = "kov's core: records read, analysed and written as kov-batch does (use the package kov)";
    m.attr("__version__") = KOV_VERSION;
    kov::python::registerErrors(m);
    kov::python::registerRecords(m);
    kov::python::registerAnalyses(m);
}
