// A JetFile is one genuine Jet (or ACE) database opened for reading only:
// libmdb opens it and decodes its pages, and every page handed out has been
// checked to lie inside the file. Opening refuses, with a numbered error that
// names the file, what is not a Jet file (3343), a file with a database
// password or encryption (3031) and a file cut short or damaged (3049). The
// file is never written: libmdb holds it open read-only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/jet_format.h"
#include "jet/libmdb.h"

namespace brenquil::jet {

using Page = std::vector<std::uint8_t>;

// True when `path` begins as a Jet or ACE database does: a definition page
// from an engine that calls itself Jet or ACE. Reads its first bytes only;
// never throws. (An engine database is an SQLite file, and never is one.)
bool IsJetFile(const std::string& path);

class JetFile {
 public:
  explicit JetFile(const std::string& path);
  ~JetFile();
  JetFile(const JetFile&) = delete;
  JetFile& operator=(const JetFile&) = delete;

  const std::string& Path() const { return path_; }
  const Format& Fmt() const { return format_; }
  bool Jet3() const { return format_.jet3; }
  std::uint32_t PageCount() const { return page_count_; }
  // The Windows code page of a Jet 3 file's text (1252 unless it says).
  int CodePage() const { return code_page_; }

  // Page `number`, decoded. JetDamage when the file has no such page. The
  // last pages read are kept, so walking rows and their long values reads
  // each page about once.
  std::shared_ptr<const Page> Read(std::uint32_t number);

  // libmdb's handle on the file, for readers built on libmdb's own API.
  MdbHandle* Handle() const { return mdb_; }

 private:
  std::string path_;
  Format format_;
  std::uint32_t page_count_ = 0;
  int code_page_ = 1252;
  MdbHandle* mdb_ = nullptr;
  struct Cached {
    std::uint32_t number;
    std::shared_ptr<const Page> page;
  };
  std::vector<Cached> cache_;  // most recent last
};

}  // namespace brenquil::jet
