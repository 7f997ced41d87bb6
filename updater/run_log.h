// Appends a step to the run log beside the updater (see run_log_text.h). Never a reason for a
// run to fail: a log that cannot be written is left as it is.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tidewell {

// The step's text is given in pieces, joined here: one call instead of a chain of
// concatenations at each of the run's steps, which cost the program kilobytes.
void consigne(const std::string& dossier, std::initializer_list<std::string_view> morceaux);

// Removes what a power cut left of the log's last rewrite; at the start of a run.
void nettoiejournal(const std::string& dossier);

// The platform's time now, in UTC: "YYYY-MM-DDTHH:MM:SSZ".
std::string maintenantutc();

}  // namespace tidewell
