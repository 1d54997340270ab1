#pragma once

#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/ShpBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <shapefil.h>

namespace tessaro::test {

// A network with its translator, a recording user interface and a folder for the files.
class ShpReaderTest : public ::testing::Test {
protected:
    ShpReaderTest() { Network.SetKeyMode(KeyByCoordinates); }

    int Read(const std::string& path, int expectedType = -1) { return Reader.ReadShapeFile(path, expectedType); }
    int ReadBytes(const CShpBytes& bytes, int expectedType = -1)
    {
        bytes.Save(Folder.File("built.shp"));
        return Read(Folder.File("built.shp"), expectedType);
    }
    int ReadRawBytes(const std::vector<unsigned char>& bytes, int expectedType = -1)
    {
        WriteBytes(Folder.File("raw.shp"), bytes);
        return Read(Folder.File("raw.shp"), expectedType);
    }
    std::vector<std::string> Messages() const { return Ui->Messages(); }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CNetwork Network;
    CShpFileTranslator Reader{Network};
};

} // namespace tessaro::test
