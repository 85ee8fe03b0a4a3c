#include "jet/jet_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

#include "engine/error.h"
#include "jet/jet_damage.h"

namespace brenquil::jet {

namespace {

constexpr std::size_t kCacheSize = 16;

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

Error NotJet(const std::string& path, const std::string& why) {
  return MakeError(err::kUnrecognisedFormat, Quoted(path) + " " + why);
}

Error Damage(const std::string& path, const std::string& why) {
  return MakeError(err::kCannotOpen, Quoted(path) + " " + why);
}

// What the first bytes of a Jet file must say: a definition page (type 0)
// of an engine that calls itself Jet or ACE.
bool JetHeader(const unsigned char* header, std::size_t size) {
  static const char kJet[] = "Standard Jet DB";
  static const char kAce[] = "Standard ACE DB";
  return size >= 0x20 && header[0] == 0 &&
         (std::memcmp(header + 4, kJet, 15) == 0 || std::memcmp(header + 4, kAce, 15) == 0);
}

// The version of a Jet header, one Jet knows.
Version Classify(const std::string& path, const unsigned char* header, std::size_t size) {
  if (!JetHeader(header, size))
    throw NotJet(path, "no es una base de datos Jet (.mdb) ni ACE (.accdb)");
  switch (header[0x14]) {
    case 0: return Version::kJet3;
    case 1: return Version::kJet4;
    case 2: return Version::kAce12;
    case 3: return Version::kAce14;
    case 4:
    case 5: return Version::kAce16;
    case 6: return Version::kAce17;
    default:
      throw NotJet(
          path, "es de una versión de Jet que no se conoce (" + std::to_string(header[0x14]) + ")");
  }
}

// The database password: 20 bytes at 0x42 of the decoded first page in Jet 3,
// 40 in Jet 4, there masked by the integer part of the creation date at 0x72.
// All zero when the file has none.
bool HasPassword(const unsigned char* page0, bool jet3) {
  std::size_t length = jet3 ? 20 : 40;
  unsigned char mask[4] = {0, 0, 0, 0};
  if (!jet3) {
    double created = 0;
    std::memcpy(&created, page0 + 0x72, sizeof created);
    if (std::isfinite(created) && std::fabs(created) < 2147483647.0) {
      auto whole = static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
      for (int i = 0; i < 4; ++i) mask[i] = static_cast<unsigned char>(whole >> (8 * i));
    }
  }
  for (std::size_t i = 0; i < length; ++i)
    if ((page0[0x42 + i] ^ mask[i % 4]) != 0) return true;
  return false;
}

}  // namespace

bool IsJetFile(const std::string& path) {
  unsigned char header[0x20] = {};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;  // a named pipe would wait for a writer
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.read(reinterpret_cast<char*>(header), sizeof header);
  return JetHeader(header, static_cast<std::size_t>(in.gcount()));
}

JetFile::JetFile(const std::string& path) : path_(path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == EACCES)
      throw MakeError(err::kFileAccess, Quoted(path) + ": no hay permiso para llegar al archivo");
    throw MakeError(err::kFileNotFound, Quoted(path));
  }
  if (S_ISDIR(st.st_mode)) throw NotJet(path, "es una carpeta, no una base de datos");
  if (!S_ISREG(st.st_mode)) throw NotJet(path, "no es un archivo normal");
  if (st.st_size == 0) throw NotJet(path, "está vacío");
  unsigned char header[0x80] = {};
  std::size_t got = 0;
  {
    std::ifstream in(path, std::ios::binary);
    if (!in)
      throw MakeError(err::kFileAccess, Quoted(path) + ": no hay permiso para leer el archivo");
    in.read(reinterpret_cast<char*>(header), sizeof header);
    got = static_cast<std::size_t>(in.gcount());
  }
  format_ = Format::For(Classify(path, header, got));
  const auto size = static_cast<unsigned long long>(st.st_size);
  // The catalogue's definition is page 2; a whole file is whole pages.
  if (size < 3 * format_.page_size || size % format_.page_size != 0)
    throw Damage(path, "está incompleto: " + std::to_string(size) +
                           " bytes no son páginas enteras de " + std::to_string(format_.page_size));
  page_count_ = static_cast<std::uint32_t>(size / format_.page_size);

  // Read-only: libmdb opens the file with fopen(path, "r").
  mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (!mdb_) throw Damage(path, "no se pudo leer como base de datos Jet");
  if (mdb_->fmt->pg_size != static_cast<ssize_t>(format_.page_size)) {
    mdb_close(mdb_);
    throw Damage(path, "tiene un tamaño de página que no corresponde a su versión");
  }
  // Just opened: libmdb's page buffer holds the first page, its header decoded.
  if (HasPassword(mdb_->pg_buf, format_.jet3)) {
    mdb_close(mdb_);
    throw MakeError(err::kNotValidPassword,
                    Quoted(path) +
                        " está protegido con una contraseña o cifrado; quítele la contraseña "
                        "con Access y vuelva a importarlo");
  }
  if (format_.jet3 && mdb_->f->code_page != 0) code_page_ = mdb_->f->code_page;
  // The catalogue's table definition must be where every Jet file has it;
  // an encrypted ACE file's pages read as noise.
  try {
    auto catalog = Read(2);
    if ((*catalog)[0] != 0x02) throw JetDamage("la página 2 no es la definición del catálogo");
  } catch (const JetDamage& e) {
    mdb_close(mdb_);
    mdb_ = nullptr;
    if (format_.version != Version::kJet3 && format_.version != Version::kJet4)
      throw MakeError(err::kNotValidPassword, Quoted(path) + " no se puede leer: parece cifrado (" +
                                                  std::string(e.what()) + ")");
    throw Damage(path, "está dañado: " + std::string(e.what()));
  }
}

JetFile::~JetFile() {
  if (mdb_) mdb_close(mdb_);
}

std::shared_ptr<const Page> JetFile::Read(std::uint32_t number) {
  for (std::size_t i = cache_.size(); i-- > 0;)
    if (cache_[i].number == number) return cache_[i].page;
  if (number == 0 || number >= page_count_)
    throw JetDamage("la página " + std::to_string(number) + " no está en el archivo, que tiene " +
                    std::to_string(page_count_));
  if (mdb_read_alt_pg(mdb_, number) != static_cast<ssize_t>(format_.page_size))
    throw JetDamage("no se pudo leer la página " + std::to_string(number));
  auto page = std::make_shared<Page>(mdb_->alt_pg_buf, mdb_->alt_pg_buf + format_.page_size);
  if (cache_.size() == kCacheSize) cache_.erase(cache_.begin());
  cache_.push_back({number, page});
  return page;
}

}  // namespace brenquil::jet
