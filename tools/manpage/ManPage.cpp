#include "ManPage.h"

#include <cstddef>
#include <sstream>
#include <vector>

namespace manpage {
namespace {

// Lines of running text stay within this, breaking at spaces; roff fills them anyway.
constexpr std::size_t kLineWidth = 78;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::size_t Indent(const std::string& line) {
  const std::size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? line.size() : first;
}

std::string Trimmed(const std::string& line) {
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool StartsWithWord(const std::string& text, const std::string& word) {
  return text.compare(0, word.size(), word) == 0 && (text.size() == word.size() || text[word.size()] == ' ');
}

// Dashes that begin an option or a number are minus signs; those inside words are hyphens.
std::string Escaped(const std::string& word) {
  std::string out;
  bool wordStart = true;
  for (char c : word) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-' && wordStart)
      out += "\\-";
    else
      out += c;
    if (c != '-') wordStart = c == '[' || c == '(' || c == '|';
  }
  return out;
}

// Running text, one roff line per kLineWidth; a line must not start with a control character.
std::string Filled(const std::string& text) {
  std::string out, line;
  auto flush = [&] {
    if (line.empty()) return;
    if (line[0] == '.' || line[0] == '\'') out += "\\&";
    out += line + '\n';
    line.clear();
  };
  for (const std::string& word : Words(text)) {
    const std::string escaped = Escaped(word);
    if (!line.empty() && line.size() + 1 + escaped.size() > kLineWidth) flush();
    line += (line.empty() ? "" : " ") + escaped;
  }
  flush();
  return out;
}

// Options in bold, the values they take in italics, other terms (keys, codes) in bold.
std::string Term(const std::string& term) {
  std::string out;
  char font = 0;
  bool afterOption = false;
  for (const std::string& word : Words(term)) {
    const bool option = word[0] == '-';
    const char wanted = option || !afterOption ? 'B' : 'I';
    afterOption = option || afterOption;
    if (wanted != font) {
      if (font != 0) out += "\\fR ";
      out += std::string("\\f") + wanted;
      font = wanted;
    } else {
      out += ' ';
    }
    out += Escaped(word);
  }
  return out + (font != 0 ? "\\fR\n" : "\n");
}

// The synopsis forms from the usage line on; `next` is left at the first line after them.
std::vector<std::string> Synopsis(const std::vector<std::string>& lines, const std::string& name, std::size_t& next) {
  const std::string usage = "usage: ";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.size() <= usage.size() || Upper(line.substr(0, usage.size())) != Upper(usage)) continue;
    const std::string first = Trimmed(line.substr(usage.size()));
    if (!StartsWithWord(first, name)) continue;
    std::vector<std::string> forms{first};
    for (next = i + 1; next < lines.size() && Indent(lines[next]) > 0 && !Trimmed(lines[next]).empty(); ++next) {
      const std::string more = Trimmed(lines[next]);
      if (StartsWithWord(more, name))
        forms.push_back(more);
      else
        forms.back() += ' ' + more;
    }
    return forms;
  }
  return {};
}

// Sections, paragraphs and entries after the synopsis.
class Body {
 public:
  explicit Body(std::string& out) : out_(out) {}

  void Line(const std::string& line) {
    const std::string text = Trimmed(line);
    const std::size_t indent = Indent(line);
    if (text.empty()) {
      paragraph_ = entry_ = false;
    } else if (indent == 0 && text.back() == ':') {
      Section(Upper(text.substr(0, text.size() - 1)));
    } else if (indent == 2) {
      Entry(text);
    } else if (indent > 2 && entry_) {
      out_ += Filled(text);
    } else {
      Text(text);
    }
  }

 private:
  void Section(const std::string& heading) {
    out_ += ".SH " + heading + '\n';
    sectionOpen_ = true;
    sectionEmpty_ = true;
    paragraph_ = entry_ = false;
  }

  void Open() {
    if (!sectionOpen_) Section("DESCRIPTION");
    sectionEmpty_ = false;
  }

  void Entry(const std::string& text) {
    Open();
    const std::size_t gap = text.find("  ");
    out_ += ".TP\n" + Term(text.substr(0, gap));
    if (gap != std::string::npos) out_ += Filled(text.substr(gap));
    entry_ = true;
    paragraph_ = false;
  }

  void Text(const std::string& text) {
    // A paragraph macro straight after a heading would only be noise.
    if (!paragraph_ && sectionOpen_ && !sectionEmpty_) out_ += ".PP\n";
    Open();
    out_ += Filled(text);
    paragraph_ = true;
    entry_ = false;
  }

  std::string& out_;
  bool sectionOpen_ = false;
  bool sectionEmpty_ = true;
  bool paragraph_ = false;
  bool entry_ = false;
};

std::string Quoted(const std::string& argument) { return '"' + argument + '"'; }

}  // namespace

bool FromHelp(const PageInfo& info, const std::string& help, std::string& roff) {
  const std::vector<std::string> lines = Lines(help);
  std::size_t next = 0;
  const std::vector<std::string> forms = Synopsis(lines, info.name, next);
  if (forms.empty()) return true;

  const std::string manual = info.section == "6" ? "Games Manual" : "User Commands";
  roff = ".TH " + Upper(info.name) + ' ' + info.section + ' ' + info.date + ' ' + Quoted(info.source) + ' ' +
         Quoted(manual) + '\n';
  roff += ".SH NAME\n" + info.name + " \\- " + Filled(info.summary);
  roff += ".SH SYNOPSIS\n";
  for (std::size_t i = 0; i < forms.size(); ++i) {
    if (i > 0) roff += ".br\n";
    roff += ".B " + info.name + '\n' + Filled(forms[i].substr(info.name.size()));
  }
  Body body(roff);
  for (std::size_t i = next; i < lines.size(); ++i) body.Line(lines[i]);
  return false;
}

}  // namespace manpage
