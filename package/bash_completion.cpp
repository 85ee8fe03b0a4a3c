#include "package/bash_completion.h"

namespace brenquil::package {

namespace {

// What a value named so is completed with: "folder", "file" or "none".
std::string ValueKind(const std::string& value) {
  for (const char* folder : {"CARPETA", "HOME", "DIR"})
    if (value.find(folder) != std::string::npos) return "folder";
  if (value.find("ARCHIVO") != std::string::npos) return "file";
  return "none";
}

std::string Join(const std::vector<std::string>& words, const char* separator) {
  std::string joined;
  for (const auto& word : words) joined += (joined.empty() ? "" : separator) + word;
  return joined;
}

std::vector<std::string> OptionNames(const std::vector<CliArgument>& arguments) {
  std::vector<std::string> names;
  for (const auto& argument : arguments)
    names.insert(names.end(), argument.names.begin(), argument.names.end());
  return names;
}

// The case block of one subcommand, with @P@ for the functions' prefix.
std::string CommandCase(const CliCommand& command) {
  std::string text = "    " + command.name + ")\n";
  std::vector<std::string> value_options, positional_kinds;
  std::string value_cases;
  for (const auto& argument : command.arguments) {
    if (argument.names.empty()) {
      positional_kinds.push_back(ValueKind(argument.value));
    } else if (!argument.value.empty()) {
      value_options.insert(value_options.end(), argument.names.begin(), argument.names.end());
      value_cases += "        " + Join(argument.names, "|") + ") @P@_values " +
                     ValueKind(argument.value) + " \"$cur\"; return ;;\n";
    }
  }
  if (!value_cases.empty()) text += "      case $prev in\n" + value_cases + "      esac\n";
  text += "      if [[ $cur != -* ]]; then\n";
  text += "        local kinds=(" + Join(positional_kinds, " ") + ")\n";
  text += "        local n\n";
  text += "        n=$(@P@_positionals \"$at\" \"" + Join(value_options, " ") + "\")\n";
  text += "        if ((n < ${#kinds[@]})); then @P@_values \"${kinds[n]}\" \"$cur\"; return; fi\n";
  text += "      fi\n";
  text += "      @P@_words \"" + Join(OptionNames(command.arguments), " ") + "\" \"$cur\" ;;\n";
  return text;
}

// The fixed part of the script; @P@ is the functions' prefix, @NAME@ the
// program, @OPTIONS@ and @COMMANDS@ the words before a subcommand, @CASES@
// the subcommands' blocks.
constexpr const char* kScript =
    R"(# bash completion for @NAME@: its subcommands, their options, and folders or
# files where an option or argument names one. Made from the program's own
# table of subcommands and options when it is built.

# WORDS CUR: the words of WORDS that begin with CUR.
@P@_words() {
  mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2")
}

# KIND CUR: the folders (folder), files and folders (file) or nothing (none)
# that begin with CUR; bash quotes blanks and quotes in their names.
@P@_values() {
  COMPREPLY=()
  case $1 in
    folder) compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$2") ;;
    file) compopt -o filenames 2>/dev/null
          mapfile -t COMPREPLY < <(compgen -f -- "$2") ;;
  esac
}

# AT VALUE_OPTIONS: how many positional arguments stand between the
# subcommand (word AT) and the word completed; a word after an option of
# VALUE_OPTIONS is that option's value.
@P@_positionals() {
  local i n=0 word
  for ((i = $1 + 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ " $2 " == *" $word "* ]]; then
      ((i++))
      [[ ${COMP_WORDS[i]} == = ]] && ((i++))
    elif [[ $word != -* && $word != = ]]; then
      ((n++))
    fi
  done
  echo $n
}

@P@() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev= command= at=0 i
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # bash splits "--option=value" at the "=".
  if [[ $cur == = ]]; then
    cur=
  elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} != -* ]]; then
      command=${COMP_WORDS[i]} at=$i
      break
    fi
  done
  case $command in
    "")
      if [[ $cur == -* ]]; then
        @P@_words "@OPTIONS@" "$cur"
      else
        @P@_words "@COMMANDS@" "$cur"
      fi ;;
@CASES@    *) COMPREPLY=() ;;
  esac
}

complete -F @P@ @NAME@
)";

std::string Replaced(std::string text, const std::string& mark, const std::string& by) {
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + by.size()))
    text.replace(at, mark.size(), by);
  return text;
}

}  // namespace

std::string BashCompletion(const CliTable& table) {
  std::string prefix = "_" + table.name;
  for (char& c : prefix)
    if (c == '-') c = '_';
  std::vector<std::string> commands;
  std::string cases;
  for (const auto& command : table.commands) {
    commands.push_back(command.name);
    cases += CommandCase(command);
  }
  // The subcommands' blocks go in first: they hold @P@ marks of their own.
  std::string script = Replaced(kScript, "@CASES@", cases);
  script = Replaced(script, "@OPTIONS@", Join(OptionNames(table.options), " "));
  script = Replaced(script, "@COMMANDS@", Join(commands, " "));
  script = Replaced(script, "@NAME@", table.name);
  return Replaced(script, "@P@", prefix);
}

}  // namespace brenquil::package
