// Appends a step to the run log beside the updater (see run_log_text.h). Never a reason for a
// run to fail: a log that cannot be written is left as it is.
#pragma once

#include <string>

namespace tidewell {

void consigne(const std::string& dossier, const std::string& texte);

// The platform's time now, in UTC: "YYYY-MM-DDTHH:MM:SSZ".
std::string maintenantutc();

}  // namespace tidewell
