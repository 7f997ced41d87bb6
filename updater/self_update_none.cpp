// A build without keys takes no updater from a release: none of the swap is built into it.
#include "run.h"

namespace tidewell {

bool liberenomrelais(const std::string&)
{
    return true;
}

void Main::relaisoutil() {}

}  // namespace tidewell
