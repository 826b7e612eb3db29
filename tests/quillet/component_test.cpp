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

TEST(ComponentTest, ReaderFromTheLibraryReadsValidatesAndFailsWithNumberAndText) {
  platform::test::ProgramAt program(platform::joinPath(TARNWICK_PROGRAM_DIR, "tarnwick"));
  std::unique_ptr<IucQuillet> reader(static_cast<IucQuillet*>(platform::createComponent("Quillet.ucQuillet")));
  const platform::Error noFile = platform::test::errorOf([&] { reader->OpenCSV(true, true); });
  EXPECT_EQ(noFile.number(), CSVMAN_ERROR_CSVFILENOTSPECIFIED);
  EXPECT_EQ(noFile.description(), "CSV File not specified.  Set the CSVFile property before calling OpenCSV");

  platform::test::TempFolder folder;
  reader->CSVFile(platform::test::writeLines(folder.path("in.csv"), {"NodeType,SerialNo", "v,12a"}));
  EXPECT_EQ(reader->OpenCSV(true, true), (Fields{"NodeType", "SerialNo"}));
  reader->setColumnValidation("SerialNo", "^\\d{1,10}$");
  reader->ReadLine();
  EXPECT_EQ(reader->getValue("nodetype"), "v");
  EXPECT_EQ(platform::test::errorNumberOf([&] { reader->getValue("serialno"); }), CSVMAN_ERROR_VALIDATIONFAILED);
}

}  // namespace
}  // namespace quillet
