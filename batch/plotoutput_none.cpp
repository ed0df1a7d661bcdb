#include "batch/plotoutput.h"

namespace kov::batch {

// Built without the plot library: pictures cannot be drawn.
bool writeRecordPlot(const SharedState &, const std::string &, double, std::string &error)
{
    error = "this kov-batch was built without plotting";
    return false;
}

CallReport::CallReport(const std::string &path, const ReportSettings &, bool) : m_path(path)
{
    m_error = "this kov-batch was built without plotting: no report";
}

CallReport::~CallReport() = default;

void CallReport::add(const ReportRecord &) {}

bool CallReport::finish(const std::string &, const std::string &, std::string &error)
{
    error = m_error;
    return false;
}

} // namespace kov::batch
