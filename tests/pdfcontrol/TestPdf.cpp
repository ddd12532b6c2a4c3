// Writes the tests' PDF documents with a correct cross-reference table.
#include "TestPdf.h"

#include <cstdio>

namespace testpdf {

namespace {

class Writer {
 public:
  int Add(const std::string &body) {
    objects_.push_back(body);
    return int(objects_.size());
  }
  void Set(int number, const std::string &body) { objects_[number - 1] = body; }
  std::string Finish(int root, const std::string &extra_trailer) const {
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects_.size(); ++i) {
      offsets.push_back(out.size());
      out += std::to_string(i + 1) + " 0 obj\n" + objects_[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects_.size() + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (size_t offset : offsets) {
      std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
      out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(objects_.size() + 1) + " /Root " +
           std::to_string(root) + " 0 R " + extra_trailer + " >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
  }

 private:
  std::vector<std::string> objects_;
};

std::string Stream(const std::string &dictionary, const std::string &data) {
  return "<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
         "\nendstream";
}

}  // namespace

static std::string Build(const std::vector<Page> &pages, const std::string &extra_catalog,
                         const std::vector<std::string> &extra_objects, const std::string &extra_trailer) {
  Writer w;
  const int catalog = w.Add("");
  const int tree = w.Add("");
  const int helvetica = w.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  const int square = w.Add(Stream("", "1000 0 0 0 1000 1000 d1 0 0 1000 1000 re f"));
  const int type3 = w.Add("<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] "
                          "/FontMatrix [0.001 0 0 0.001 0 0] /CharProcs << /a " +
                          std::to_string(square) + " 0 R >> /Encoding << /Type /Encoding "
                          "/Differences [97 /a] >> /FirstChar 97 /LastChar 97 /Widths [1000] >>");
  std::string kids;
  for (const Page &page : pages) {
    const int content = w.Add(Stream("", page.content));
    const int number = w.Add("<< /Type /Page /Parent " + std::to_string(tree) + " 0 R /MediaBox [0 0 " +
                             std::to_string(page.width) + " " + std::to_string(page.height) +
                             "] /Resources << /Font << /F1 " + std::to_string(helvetica) +
                             " 0 R /F2 " + std::to_string(type3) + " 0 R >> >> /Contents " +
                             std::to_string(content) + " 0 R" +
                             (page.annots.empty() ? "" : " /Annots [" + page.annots + "]") + " >>");
    kids += std::to_string(number) + " 0 R ";
  }
  for (const std::string &object : extra_objects) w.Add(object);
  w.Set(catalog, "<< /Type /Catalog /Pages " + std::to_string(tree) + " 0 R " + extra_catalog + " >>");
  w.Set(tree, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
  return w.Finish(catalog, extra_trailer);
}

std::string Document(const std::vector<Page> &pages, const std::string &extra_trailer) {
  return Build(pages, "", {}, extra_trailer);
}

std::string Document(const std::vector<Page> &pages, const std::string &extra_catalog,
                     const std::vector<std::string> &extra_objects) {
  return Build(pages, extra_catalog, extra_objects, "");
}

std::string Encrypted() {
  // O and U that no empty password produces.
  const std::string key32 = "<" + std::string(64, 'A') + ">";
  Writer w;
  const int catalog = w.Add("<< /Type /Catalog /Pages 2 0 R >>");
  w.Add("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  w.Add("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>");
  const int encrypt = w.Add("<< /Filter /Standard /V 1 /R 2 /O " + key32 + " /U " + key32 + " /P -4 >>");
  return w.Finish(catalog, "/Encrypt " + std::to_string(encrypt) +
                               " 0 R /ID [<0123456789ABCDEF0123456789ABCDEF> <0123456789ABCDEF0123456789ABCDEF>]");
}

}  // namespace testpdf
