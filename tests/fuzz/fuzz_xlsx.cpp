// libFuzzer target: any bytes as an .xlsx must read or give a DataError. Bytes that begin like a
// ZIP file are the whole package; other bytes are one worksheet's XML, packed (stored, with
// libgsf) beside a fixed workbook, shared strings and styles, so that the XML readers see them.
#include <gsf/gsf.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/data/XlsxSource.h"

namespace {

std::string Package(const std::string& sheet) {
  static const std::vector<std::pair<const char*, const char*>> kFixed = {
      {"workbook.xml",
       "<workbook xmlns:r=\"r\"><workbookPr date1904=\"0\"/><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"a\"/>"
       "<sheet name=\"H\" sheetId=\"2\" state=\"hidden\" r:id=\"a\"/></sheets></workbook>"},
      {"strings.xml", "<sst><si><t>题名</t></si><si><r><t>a_x000D_</t></r><rPh><t>x</t></rPh></si></sst>"},
      {"styles.xml",
       "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"yyyy&quot;年&quot;\"/></numFmts>"
       "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/></cellXfs></styleSheet>"},
  };
  static const char* const kRels =
      "<Relationships><Relationship Id=\"a\" Type=\"x/worksheet\" Target=\"s.xml\"/>"
      "<Relationship Id=\"b\" Type=\"x/sharedStrings\" Target=\"strings.xml\"/>"
      "<Relationship Id=\"c\" Type=\"x/styles\" Target=\"/xl/styles.xml\"/></Relationships>";
  GsfOutput* memory = gsf_output_memory_new();
  GsfOutfile* zip = gsf_outfile_zip_new(memory, nullptr);
  GsfOutput* xl = gsf_outfile_new_child(zip, "xl", TRUE);
  const auto put = [](GsfOutfile* folder, const char* name, const std::string& content) {
    GsfOutput* child = gsf_outfile_new_child_full(folder, name, FALSE, "compression-level", 0, nullptr);
    gsf_output_write(child, content.size(), reinterpret_cast<const guint8*>(content.data()));
    gsf_output_close(child);
    g_object_unref(child);
  };
  for (const auto& [name, content] : kFixed) put(GSF_OUTFILE(xl), name, content);
  put(GSF_OUTFILE(xl), "s.xml", sheet);
  GsfOutput* rels = gsf_outfile_new_child(GSF_OUTFILE(xl), "_rels", TRUE);
  put(GSF_OUTFILE(rels), "workbook.xml.rels", kRels);
  gsf_output_close(rels);
  g_object_unref(rels);
  gsf_output_close(xl);
  g_object_unref(xl);
  gsf_output_close(GSF_OUTPUT(zip));
  g_object_unref(zip);
  std::string bytes(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory))),
                    static_cast<std::size_t>(gsf_output_size(memory)));
  g_object_unref(memory);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // libgsf warns on stderr about every broken ZIP header; the fuzzer needs no such noise.
  static const bool ready = (gsf_init(), g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr), true);
  (void)ready;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.compare(0, 2, "PK") != 0) bytes = Package(bytes);
  try {
    rowcaster::data::XlsxWorkbook book(rowcaster::data::XlsxWorkbook::InMemory{std::move(bytes)});
    for (const auto& sheet : book.Sheets())
      if (sheet.worksheet) book.ReadSheet(sheet);
  } catch (const rowcaster::data::DataError&) {
  }
  return 0;
}
