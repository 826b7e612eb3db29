// The reader as a host gets it: created by name from libquillet.so in the
// program folder, its failures arriving as platform errors.
#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "platform/ComponentLoader.h"
#include "platform/Paths.h"
#include "quillet/Quillet.h"

namespace quillet {
namespace {

using platform::test::errorNumberOf;

TEST(ComponentTest, ReaderFromTheLibraryReadsValidatesAndFailsWithNumberAndText) {
  platform::test::ProgramAt program(platform::joinPath(TARNWICK_PROGRAM_DIR, "tarnwick"));
  std::unique_ptr<IucQuillet> reader(static_cast<IucQuillet*>(platform::createComponent("Quillet.ucQuillet")));
  try {
    reader->OpenCSV(true, true);
    FAIL() << "OpenCSV succeeded without a file";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.number(), CSVMAN_ERROR_CSVFILENOTSPECIFIED);
    EXPECT_EQ(e.description(), "CSV File not specified.  Set the CSVFile property before calling OpenCSV");
  }

  platform::test::TempFolder folder;
  reader->CSVFile(platform::test::writeLines(folder.path("in.csv"), {"NodeType,SerialNo", "v,12a"}));
  EXPECT_EQ(reader->OpenCSV(true, true), (Fields{"NodeType", "SerialNo"}));
  reader->setColumnValidation("SerialNo", "^\\d{1,10}$");
  reader->ReadLine();
  EXPECT_EQ(reader->getValue("nodetype"), "v");
  EXPECT_EQ(errorNumberOf([&] { reader->getValue("serialno"); }), CSVMAN_ERROR_VALIDATIONFAILED);
  EXPECT_TRUE(reader->EOF_());
}

}  // namespace
}  // namespace quillet
