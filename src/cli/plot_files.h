// The picture files of --plots: the folder is made (or checked) before the
// run, and after it every table's picture is written there as its own SVG
// file, named by command, split group and picture.
#pragma once

#include <optional>
#include <string>

#include "host/output/output_document.h"
#include "host/output/renderers.h"
#include "host/services/run_files.h"

namespace mva::cli {

// Makes `folder` when it does not exist (its parent must); false with the
// message in `problem` when it cannot be made or is not a folder.
bool prepare_plot_folder(const std::string& folder, std::string& problem);

// Writes the picture of every table of `document` that has one into
// `folder`, replacing a picture file of an earlier run; a name that leads to
// a file this run reads or writes is refused before anything is written.
// The paths written, by table index; nullopt with the message in `problem`
// when a file cannot be written.
std::optional<host::PlotFiles> write_plot_files(const host::OutputDocument& document, const std::string& folder,
                                                const host::RunFiles& files, std::string& problem);

}  // namespace mva::cli
