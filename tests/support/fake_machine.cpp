#include "fake_machine.h"

#include "test_files.h"

namespace quarry::test {

FakeMachine::FakeMachine(const fs::path& root) : paths_{root / "mountinfo", root / "sys", root / "dev"} {
    fs::create_directories(paths_.sysRoot / "dev/block");
    fs::create_directories(paths_.sysRoot / "class/block");
    fs::create_directories(paths_.devRoot);
}

void FakeMachine::addDevice(const fs::path& folder, const std::string& number, const std::string& sectors) {
    writeFile(sys() / folder / "size", sectors + "\n");
    fs::create_directory_symlink("../../" + folder.string(), sys() / "dev/block" / number);
    fs::create_directory_symlink("../../" + folder.string(), sys() / "class/block" / folder.filename());
}

void FakeMachine::addPartition(const fs::path& folder, const std::string& number, const std::string& sectors,
                               const std::string& partitionNumber) {
    addDevice(folder, number, sectors);
    writeFile(sys() / folder / "partition", partitionNumber + "\n");
}

void FakeMachine::setMountInfo(const std::string& text) {
    writeFile(paths_.mountInfo, text);
}

} // namespace quarry::test
