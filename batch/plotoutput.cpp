#include "batch/plotoutput.h"

#include "plot/render.h"

namespace kov::batch {

bool writeRecordPlot(const SharedState &state, const std::string &path, double scale, std::string &error)
{
    return renderLoopPicture(state, path, scale, error);
}

bool writeCallReport(const ReportRequest &request, std::string &error)
{
    return writeReport(request, error);
}

} // namespace kov::batch
