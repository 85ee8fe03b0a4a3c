#include "shell/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/dbengine.h"
#include "engine/error.h"

namespace brenquil {

namespace fs = std::filesystem;

namespace {
std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool EndsWithMdb(const std::string& name) {
  return name.size() >= 4 && Lower(name.substr(name.size() - 4)) == ".mdb";
}
}  // namespace

Paths::Paths(std::string home) : home_(std::move(home)) {
  while (home_.size() > 1 && home_.back() == '/') home_.pop_back();
}

std::string Paths::ModelsFolder() const { return Join(home_, "modelos"); }
std::string Paths::ModelPath(const std::string& name) const { return Join(ModelsFolder(), name); }
std::string Paths::CatalogPath(const std::string& file) const { return Join(home_, file); }

std::string Paths::DefaultDataFolder() {
#ifdef _WIN32
  return "c:\\archivos de programa\\zorv 2000\\bases";
#else
  return "/archivos de programa/zorv 2000/bases";
#endif
}

std::string Paths::FallbackDataFolder() {
#ifdef _WIN32
  return "c:\\";
#else
  return "/";
#endif
}

std::string Paths::Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::vector<std::string> SearchDatabases(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;  // hidden, "." and ".."
    if (EndsWithMdb(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ResetAttributes(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    throw MakeError(err::kFileMissing, "'" + path + "'");
  mode_t wanted = st.st_mode | S_IWUSR;
  if (S_ISDIR(st.st_mode)) wanted |= S_IXUSR | S_IRUSR;
  if (wanted != st.st_mode && ::chmod(path.c_str(), wanted & 07777) != 0)
    throw MakeError(err::kFileAccess, "'" + path + "': " + std::strerror(errno));
}

std::string ProgramFolder() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path().string();
  return exe.parent_path().string();
}

bool NameTakenInFolder(const std::string& folder, const std::string& name) {
  std::string wanted = Lower(name);
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::string entry = it->path().filename().string();
    std::string bare = !entry.empty() && entry[0] == '.' ? entry.substr(1) : entry;
    if (Lower(entry) == wanted || Lower(bare) == wanted) return true;
  }
  return false;
}

void CopyDatabaseFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (!fs::exists(from, ec)) throw MakeError(err::kFileMissing, "'" + from + "'");
  // What the engine still holds of the source goes into the file first.
  DBEngine::Instance().Release(from);
  if (fs::exists(to, ec)) throw MakeError(err::kFileAlreadyExists, "'" + to + "'");
  fs::path target(to);
  std::string temp_name = ".";
  temp_name += target.filename().string();
  temp_name += ".copia-";
  temp_name += std::to_string(::getpid());
  fs::path temp = target.parent_path() / temp_name;
  auto fail = [&](const std::string& what) {
    std::string reason = std::strerror(errno);
    fs::remove(temp, ec);
    return MakeError(err::kFileAccess, what + " '" + to + "': " + reason);
  };
  if (fs::is_directory(from, ec)) {
    // A folder named like a database is copied as a folder.
    fs::copy(from, temp, fs::copy_options::recursive, ec);
    if (ec) throw fail("no se pudo copiar");
  } else {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throw MakeError(err::kFileAccess, "'" + from + "': " + std::strerror(errno));
    int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
      ::close(in);
      throw fail("no se pudo crear");
    }
    char buffer[1 << 16];
    ssize_t n;
    bool ok = true;
    while ((n = ::read(in, buffer, sizeof buffer)) > 0) {
      for (ssize_t done = 0; done < n;) {
        ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
        if (w < 0) { ok = false; break; }
        done += w;
      }
      if (!ok) break;
    }
    if (n < 0) ok = false;
    if (ok && ::fsync(out) != 0) ok = false;
    ::close(in);
    if (::close(out) != 0) ok = false;
    if (!ok) throw fail("no se pudo escribir");
  }
  // link() fails when `to` appeared meanwhile, so nothing is replaced.
  if (::link(temp.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) {
      fs::remove_all(temp, ec);
      throw MakeError(err::kFileAlreadyExists, "'" + to + "'");
    }
    // Folders cannot be hard-linked: rename, after checking again.
    if (fs::exists(to, ec)) {
      fs::remove_all(temp, ec);
      throw MakeError(err::kFileAlreadyExists, "'" + to + "'");
    }
    if (::rename(temp.c_str(), to.c_str()) != 0) throw fail("no se pudo renombrar");
  } else {
    fs::remove(temp, ec);
  }
}

}  // namespace brenquil
