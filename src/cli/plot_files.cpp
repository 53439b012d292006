// Writing the picture files. The names come from the place of each table
// (command and split group) and the kind of picture, with a number added
// when one command and group have two pictures of a kind.
#include "cli/plot_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>
#include <vector>

#include "host/output/pictures.h"

namespace mva::cli {

bool prepare_plot_folder(const std::string& folder, std::string& problem) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (fs::is_directory(status)) return true;
  if (fs::exists(status)) {
    problem = "mva: --plots: " + folder + " is not a folder";
    return false;
  }
  if (!fs::create_directory(folder, error) && error) {
    problem = "mva: --plots: cannot make the folder " + folder + " (" + error.message() + ")";
    return false;
  }
  return true;
}

std::optional<host::PlotFiles> write_plot_files(const host::OutputDocument& document, const std::string& folder,
                                                const host::RunFiles& files, std::string& problem) {
  const std::vector<host::TablePlace> places = host::table_places(document);
  struct Planned {
    std::size_t table;
    std::string path;
    host::Picture picture;
  };
  std::vector<Planned> planned;
  std::map<std::tuple<int, int, std::string>, int> seen;
  for (std::size_t i = 0; i < places.size(); ++i) {
    std::optional<host::Picture> picture = host::picture_of(document, places, i);
    if (!picture) continue;
    const int repeat = ++seen[{places[i].command, places[i].group, picture->kind}];
    const std::string path =
        (std::filesystem::path(folder) / host::picture_file_name(places[i], *picture, repeat)).string();
    if (const std::optional<std::string> clash = files.clash(path)) {
      problem = "mva: --plots: the picture file " + path + " would be " + *clash + "; no picture was written";
      return std::nullopt;
    }
    planned.push_back({places[i].table, path, std::move(*picture)});
  }
  host::PlotFiles written;
  for (const Planned& p : planned) {
    std::ofstream out(p.path, std::ios::binary | std::ios::trunc);
    if (out) out.write(p.picture.svg.data(), static_cast<std::streamsize>(p.picture.svg.size()));
    if (out) out.close();
    if (!out) {
      problem = "mva: --plots: cannot write " + p.path + " (" + std::strerror(errno) + ")";
      return std::nullopt;
    }
    written.emplace(p.table, p.path);
  }
  return written;
}

}  // namespace mva::cli
