// A demo installation to try the transformation on: DIR/home (an installation
// with models in home/modelos) and DIR/datos (old databases that lack some of
// their models' tables, fields, indexes, relations and queries). Owned by the
// caller's folder; built through the engine.
#pragma once

#include <string>
#include <vector>

namespace brenquil {

// Where MakeDemo puts the installation and the old databases.
std::string DemoHome(const std::string& dir);
std::string DemoData(const std::string& dir);

// The demo's database file names: models (in DemoHome/modelos) and old
// databases (in DemoData), in the order they are made.
const std::vector<std::string>& DemoModelNames();
const std::vector<std::string>& DemoOldNames();

// Makes the demo in `dir` (created if absent). The installation's own files
// are made by SetupInstallation and kept when present; a demo database that
// exists already raises Error 3012 before anything is written, so a demo is
// never mixed with a transformed one.
void MakeDemo(const std::string& dir);

}  // namespace brenquil
