#include "batch/plotoutput.h"

namespace kov::batch {

// Built without the plot library: pictures cannot be drawn.
bool writeRecordPlot(const SharedState &, const std::string &, double, std::string &error)
{
    error = "this kov-batch was built without plotting";
    return false;
}

} // namespace kov::batch
