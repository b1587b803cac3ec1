// `tressel wire` against a hostile user and a hostile machine: outputs that
// are inputs, frame ranges without end, full disks, folders it may not write,
// signals at the worst moment, names that are long or full of escapes,
// links, memory that runs out, and times at both ends of the 32-bit range.
// Every case checks what is left on disk: nothing replaced unless everything
// was, and never a temporary.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/RunCommand.h"

namespace {

namespace fs = std::filesystem;

// The files the command's temporaries are named as, anywhere below `folder`.
std::vector<std::string> Temporaries(const fs::path& folder) {
  std::vector<std::string> found;
  std::error_code failure;
  for (auto it = fs::recursive_directory_iterator(folder, failure); it != fs::recursive_directory_iterator(); ++it)
    if (it->path().filename().string().rfind(".tr.", 0) == 0) found.push_back(it->path().string());
  return found;
}

// The status as the shell reports it: the exit status, or 128 + the signal.
int ShellStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tressel-hostile-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    WriteText(folder / "grid.obj", GridObj(6));
  }
  void TearDown() override {
    if (!mounted.empty()) ::umount2(mounted.c_str(), MNT_DETACH);
    fs::permissions(folder, fs::perms::all, fs::perm_options::add);
    fs::remove_all(folder);
  }

  // Runs `tressel wire ARGUMENTS` in the folder; `environment` prefixes the
  // command (variables, or a program such as setpriv), `shell` runs first.
  Outcome Wire(const std::string& arguments, const std::string& environment = "", const std::string& shell = "") {
    return Tressel("wire " + arguments, environment, shell);
  }
  Outcome Tressel(const std::string& arguments, const std::string& environment = "", const std::string& shell = "") {
    const std::string line = "cd " + Quote(folder.string()) + " && " + shell + (shell.empty() ? "" : " && ") +
                             environment + " " + Quote(TRESSEL_COMMAND_PATH) + " " + arguments + " </dev/null";
    Outcome outcome = RunShell(line, (fs::temp_directory_path() / ("tressel-hostile-err-" + std::to_string(::getpid()))).string());
    EXPECT_EQ(Temporaries(folder), std::vector<std::string>{}) << "after wire " << arguments;
    return outcome;
  }

  fs::path folder;
  std::string mounted;
};

TEST_F(HostileTest, AnOutputThatIsAnInputOrTheSceneIsRefusedBeforeAnythingRuns) {
  const std::string mesh = ReadText(folder / "grid.obj");
  fs::create_directories(folder / "sub");
  fs::create_symlink("grid.obj", folder / "alias.obj");
  WriteText(folder / "s.json", "{\"tressel-scene\": 1, \"meshes\": [\"grid.obj\"]}");
  const std::string scene = ReadText(folder / "s.json");
  WriteText(folder / "old.gltf", "{\"asset\": {\"version\": \"2.0\"}}");  // an earlier output, not a scene
  for (const std::string& arguments :
       {std::string("grid.obj -o grid.obj"), std::string("grid.obj -o alias.obj"), std::string("grid.obj -o sub/../grid.obj"),
        std::string("grid.obj -o " + Quote((folder / "grid.obj").string())), std::string("--scene s.json -o grid.obj"),
        std::string("grid.obj -o new.gltf --scene new.gltf"), std::string("grid.obj -o old.gltf --scene old.gltf"), std::string("grid.obj --scene p.svg --preview p.svg")}) {
    Outcome run = Wire(arguments, "TRESSEL_PROGRESS=lines");
    EXPECT_EQ(run.status, 2) << arguments << "\n" << run.err;
    EXPECT_NE(run.err.find("refused"), std::string::npos) << arguments << "\n" << run.err;
    EXPECT_EQ(run.err.find("Importing"), std::string::npos) << "refused before the import: " << run.err;
  }
  EXPECT_EQ(ReadText(folder / "grid.obj"), mesh);
  EXPECT_EQ(ReadText(folder / "s.json"), scene);
  EXPECT_EQ(ReadText(folder / "old.gltf"), "{\"asset\": {\"version\": \"2.0\"}}");
  EXPECT_TRUE(fs::is_symlink(folder / "alias.obj"));
  EXPECT_FALSE(fs::exists(folder / "new.gltf"));
  EXPECT_FALSE(fs::exists(folder / "p.svg"));
}

TEST_F(HostileTest, AFrameRangeBeyondTheLimitIsRefusedAtOnce) {
  for (const std::string& range : {std::string("0-2147483647"), std::string("-2147483648-2147483647")}) {
    Outcome run = Wire("grid.obj --frames " + range + " -o 'f%d.obj'");
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("at most 100000"), std::string::npos) << run.err;
  }
  EXPECT_EQ(Wire("grid.obj --frames 0-99999 -o 'f%d.obj' --mode 9").status, 2) << "the limit itself is allowed";
}

// Frames go to temporaries first: a disk that fills up on a later frame
// leaves every earlier frame's old file as it was.
TEST_F(HostileTest, ADiskThatFillsUpMidwayWritesNoFrame) {
  WriteText(folder / "big.obj", GridObj(20));
  fs::create_directories(folder / "disk");
  for (int frame = 1; frame <= 10; ++frame) WriteText(folder / "disk" / ("f" + std::to_string(frame) + ".obj"), "old\n");
  // One frame's file is about 60 KB; ten of them do not fit 256 KB.
  Outcome run;
  if (::mount("tressel-test", (folder / "disk").c_str(), "tmpfs", 0, "size=256k") == 0) {
    mounted = (folder / "disk").string();
    for (int frame = 1; frame <= 10; ++frame) WriteText(folder / "disk" / ("f" + std::to_string(frame) + ".obj"), "old\n");
    run = Wire("big.obj --frames 1-10 -o 'disk/f%d.obj'");
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("disk/f1.obj:"), std::string::npos) << "the disk fills up on a later frame: " << run.err;
  } else {
    // Without the right to mount: a file size limit fails the write the same way.
    run = Wire("big.obj --frames 1-10 -o 'disk/f%d.obj'", "", "ulimit -f 100");
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
  }
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("nothing was written"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  for (int frame = 1; frame <= 10; ++frame)
    EXPECT_EQ(ReadText(folder / "disk" / ("f" + std::to_string(frame) + ".obj")), "old\n") << "frame " << frame;
}

TEST_F(HostileTest, AFileSizeLimitIsAnErrorNotAKilledProcess) {
  WriteText(folder / "big.obj", GridObj(20));
  WriteText(folder / "out.obj", "old\n");
  Outcome run = Wire("big.obj -o out.obj", "", "ulimit -f 20");
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("out.obj: could not be written completely (File too large)"), std::string::npos) << run.err;
  EXPECT_EQ(ReadText(folder / "out.obj"), "old\n");
}

// A scene that cannot be saved keeps the outputs from being replaced too.
// Root may write anywhere, so the run is made as an ordinary user.
TEST_F(HostileTest, ASceneThatCannotBeSavedKeepsTheOutputsAsTheyWere) {
  const bool root = ::geteuid() == 0;
  const std::string user = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
  fs::create_directories(folder / "locked");
  WriteText(folder / "out.obj", "old\n");
  WriteText(folder / "p.svg", "old\n");
  fs::permissions(folder, fs::perms::all);
  fs::permissions(folder / "out.obj", fs::perms::all);
  fs::permissions(folder / "p.svg", fs::perms::all);
  fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  if (root) {
    ASSERT_EQ(::chown((folder / "locked").c_str(), 0, 0), 0);
  }
  // The module and the command must be readable by the user the run is made as.
  if (root && std::system((user + " test -r " + Quote(TRESSEL_COMMAND_PATH)).c_str()) != 0)
    GTEST_SKIP() << "the build folder is not readable by an ordinary user";
  // Found before the run: the folder is tried first.
  Outcome run = Wire("grid.obj -o out.obj --preview p.svg --scene locked/s.json", "TRESSEL_PROGRESS=lines " + user);
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("locked/s.json: cannot be written (Permission denied)"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("Importing"), std::string::npos) << run.err;
  EXPECT_EQ(ReadText(folder / "out.obj"), "old\n");
  EXPECT_EQ(ReadText(folder / "p.svg"), "old\n");
  EXPECT_FALSE(fs::exists(folder / "locked" / "s.json"));

  // Found only at the end: the outputs were staged, the scene (long with its
  // keys) goes beyond a file size limit the outputs stay under.
  std::string keys;
  for (int time = 0; time < 20000; ++time) keys += std::string(time ? ", " : "") + "[" + std::to_string(time) + ", 1.0]";
  const std::string scene = "{\"tressel-scene\": 1, \"meshes\": [\"grid.obj\"], \"channels\": {\"Push\": [" + keys + "]}}";
  WriteText(folder / "s.json", scene);
  Outcome late = Wire("-o out.obj --preview p.svg --scene s.json", "", "ulimit -f 100");
  EXPECT_EQ(late.status, 2) << late.err;
  EXPECT_NE(late.err.find("s.json: could not be written completely (File too large); nothing was written"), std::string::npos)
      << late.err;
  EXPECT_EQ(ReadText(folder / "out.obj"), "old\n");
  EXPECT_EQ(ReadText(folder / "p.svg"), "old\n");
  EXPECT_TRUE(ReadText(folder / "s.json") == scene);
}

// A signal while a temporary exists: the first one cancels (exit 128 + the
// signal), a second one ends the process at once; neither leaves anything.
TEST_F(HostileTest, SignalsWhileWritingLeaveNothingBehind) {
  WriteText(folder / "out.obj", "old\n");
  struct Case {
    std::string signals;
    int status;
    bool cancels;  // else the process ends at once, without a word
  };
  // Signals that end a process at once (a crash's SIGABRT among them) still
  // remove the temporaries first. The shell reports a process ended by a
  // signal as 128 + the signal, as the command's own cancel status is.
  for (const Case& c : {Case{"INT", 130, true}, Case{"TERM", 143, true}, Case{"HUP", 129, true},
                        Case{"INT,INT", 130, false}, Case{"INT,TERM", 143, false}, Case{"QUIT", 131, false},
                        Case{"ABRT", 134, false}, Case{"USR1", 138, false}}) {
    Outcome run = Wire("grid.obj -o out.obj --preview p.png --scene s.json", "TRESSEL_SIGNALS_AT_WRITE=" + c.signals);
    EXPECT_EQ(run.status, c.status) << c.signals << ": " << run.err;
    EXPECT_EQ(run.err.find("cancelled; nothing was written") != std::string::npos, c.cancels) << c.signals << ": " << run.err;
    EXPECT_EQ(ReadText(folder / "out.obj"), "old\n") << c.signals;
    EXPECT_FALSE(fs::exists(folder / "p.png")) << c.signals;
    EXPECT_FALSE(fs::exists(folder / "s.json")) << c.signals;
  }
  // Started with hangups ignored, as nohup starts it: a hangup changes nothing.
  Outcome nohup = Wire("grid.obj -o out.obj", "TRESSEL_SIGNALS_AT_WRITE=HUP", "trap '' HUP");
  EXPECT_EQ(nohup.status, 0) << nohup.err;
  EXPECT_NE(ReadText(folder / "out.obj"), "old\n");
}

// The same from outside, at a moment the test does not choose: frames are
// staged while the slowed module works on the next ones.
TEST_F(HostileTest, SignalsFromOutsideDuringFramesLeaveNothingBehind) {
  struct Case {
    std::string kills;
    int status;
  };
  for (const Case& c : {Case{"kill -TERM $pid", 143}, Case{"kill -INT $pid; kill -TERM $pid", 143},
                        Case{"kill -HUP $pid", 129}}) {
    // $! must be the command's own process, not a subshell around it; env
    // undoes the shell's ignoring SIGINT for a background command.
    const std::string line = "cd " + Quote(folder.string()) +
                             "; TRESSEL_REQUEST_DELAY_US=300 env --default-signal=INT " + Quote(TRESSEL_COMMAND_PATH) +
                             " wire grid.obj --frames 1-400 -o f%d.obj 2>/dev/null & pid=$!; sleep 1.5; " + c.kills +
                             "; wait $pid";
    const int status = ShellStatus(std::system(("bash -c " + Quote(line)).c_str()));
    EXPECT_EQ(status, c.status) << c.kills;
    EXPECT_EQ(Temporaries(folder), std::vector<std::string>{}) << c.kills;
    EXPECT_FALSE(fs::exists(folder / "f1.obj")) << c.kills;
  }
}

TEST_F(HostileTest, ALongValidOutputNameWorks) {
  const std::string name = std::string(246, 'w') + ".obj";
  const std::string scene = std::string(245, 's') + ".json";
  ASSERT_EQ(name.size(), 250u);
  Outcome run = Wire("grid.obj -o " + name + " --scene " + scene);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(ReadText(folder / name).find("\nl "), std::string::npos);
  EXPECT_TRUE(fs::exists(folder / scene));
}

// Staged files end with the permissions a plain write would give them: the
// umask's for new files, their own for replaced ones.
TEST_F(HostileTest, WrittenFilesGetTheUsualPermissions) {
  WriteText(folder / "kept.png", "old\n");
  fs::permissions(folder / "kept.png", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(Wire("grid.obj -o out.obj --preview p.png --scene s.json", "", "umask 022").status, 0);
  ASSERT_EQ(Wire("grid.obj -o out2.obj --preview kept.png", "", "umask 022").status, 0);
  const fs::perms usual = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
  for (const char* name : {"out.obj", "p.png", "s.json", "out2.obj"})
    EXPECT_EQ(fs::status(folder / name).permissions(), usual) << name;
  EXPECT_EQ(fs::status(folder / "kept.png").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(HostileTest, AnOutputThroughALinkWritesTheLinksTarget) {
  fs::create_directories(folder / "real");
  WriteText(folder / "real" / "target.obj", "old\n");
  fs::create_symlink("real/target.obj", folder / "link.obj");
  fs::create_symlink("link.obj", folder / "chain.obj");
  fs::create_symlink("real/new.obj", folder / "dangling.obj");
  fs::create_symlink("loop2.obj", folder / "loop1.obj");
  fs::create_symlink("loop1.obj", folder / "loop2.obj");

  ASSERT_EQ(Wire("grid.obj -o chain.obj").status, 0);
  EXPECT_TRUE(fs::is_symlink(folder / "chain.obj"));
  EXPECT_TRUE(fs::is_symlink(folder / "link.obj"));
  EXPECT_NE(ReadText(folder / "real" / "target.obj").find("\nl "), std::string::npos);
  EXPECT_EQ(Temporaries(folder), std::vector<std::string>{});

  ASSERT_EQ(Wire("grid.obj -o dangling.obj").status, 0);
  EXPECT_TRUE(fs::is_symlink(folder / "dangling.obj"));
  EXPECT_NE(ReadText(folder / "real" / "new.obj").find("\nl "), std::string::npos);

  Outcome loop = Wire("grid.obj -o loop1.obj");
  EXPECT_EQ(loop.status, 2);
  EXPECT_NE(loop.err.find("loop1.obj: cannot be written: the symbolic links form a loop"), std::string::npos) << loop.err;
  EXPECT_TRUE(fs::is_symlink(folder / "loop1.obj"));
}

TEST_F(HostileTest, NamesArePrintedWithoutRawControlCharacters) {
  WriteText(folder / "named.obj", "o evil\x1b]0;owned\x07\x1b[2J\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  Outcome run = Wire("named.obj -o out.obj");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("evil\\e]0;owned\\x07\\e[2J: vertices 3"), std::string::npos) << run.out;

  Outcome missing = Wire("\"$(printf 'no\\033[31mfile\\r.obj')\" -o out.obj");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("no\\e[31mfile\\r.obj"), std::string::npos) << missing.err;
  for (const Outcome* outcome : {&run, &missing})
    for (char c : outcome->out + outcome->err)
      EXPECT_FALSE((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F) << "raw byte " << int(c);
}

// Memory that runs out is an error naming the phase and the size. The
// sanitizer builds cannot run under an address space limit, so there the
// allocator refuses large requests instead.
TEST_F(HostileTest, MemoryThatRunsOutIsAClearError) {
  WriteText(folder / "sheet.obj", GridObj(400));  // 160,000 quads: 320,000 triangles
  WriteText(folder / "out.obj", "old\n");
  struct Case {
    std::string limit, phase;
  };
#ifdef TRESSEL_TESTS_SANITIZED
  // Every request above 1 MB refused by the allocator: the importer's first
  // large buffer fails.
  Outcome import = Wire("sheet.obj -o out.obj", "ASAN_OPTIONS=\"$ASAN_OPTIONS:allocator_may_return_null=1:max_allocation_size_mb=1\"");
#else
  // 40 MB of address space: the command starts, the mesh (about 70 MB at its
  // peak) does not fit.
  Outcome import = Wire("sheet.obj -o out.obj", "", "ulimit -v 40000");
#endif
  EXPECT_EQ(import.status, 2) << import.err;
  EXPECT_NE(import.err.find("sheet.obj"), std::string::npos) << import.err;
  EXPECT_NE(import.err.find("memory"), std::string::npos) << import.err;
  EXPECT_TRUE(ReadText(folder / "out.obj") == "old\n");

  // The later phases, each refused large requests while it runs (the host's
  // buffers for the wires would otherwise fail first in the module's phase;
  // the writers stream through a 256 KiB buffer).
  WriteText(folder / "grid.obj", GridObj(100));
  WriteText(folder / "s.json", "old\n");
  const std::vector<Case> cases = {{"writing:100000", "writing out.obj"}, {"drawing:100000", "drawing p.png"}};
  for (const Case& c : cases) {
    Outcome run = Wire("grid.obj -o out.obj --preview p.png", "TRESSEL_ALLOCATION_LIMIT=" + c.limit);
    EXPECT_EQ(run.status, 2) << c.limit << ": " << run.err;
    EXPECT_NE(run.err.find("tressel: wire: out of memory while " + c.phase + " (a request for "), std::string::npos)
        << c.limit << ": " << run.err;
    EXPECT_TRUE(ReadText(folder / "out.obj") == "old\n");
    EXPECT_FALSE(fs::exists(folder / "p.png"));
  }
}

// Keys at both ends of the time range and frames at its top: the host's
// interpolation must not overflow (the sanitizer build would stop the run).
TEST_F(HostileTest, ChannelKeysAtTheEndsOfTheTimeRange) {
  WriteText(folder / "k.json",
            "{\"tressel-scene\": 1, \"meshes\": [\"grid.obj\"], \"channels\": {\"Push\": [[-2147483648, 0.0], "
            "[2147483647, 4.0]]}}");
  Outcome run = Wire("--scene k.json --frames 2147483646-2147483647 -o 'f%d.obj'");
  ASSERT_EQ(run.status, 0) << run.err;
  Outcome middle = Wire("--scene k.json --frames -1-0 -o 'm%d.obj'");
  ASSERT_EQ(middle.status, 0) << middle.err;
  EXPECT_NE(ReadText(folder / "m0.obj").find(" 2\n"), std::string::npos) << "push 2 halfway between the keys";
}

// A dialog script may drag by any 32-bit distance: the pointer stops at the
// edge of the desk instead of overflowing.
TEST_F(HostileTest, ADragAcrossTheWholeCoordinateRange) {
  WriteText(folder / "scene.json", "{\"tressel-scene\": 1, \"meshes\": [\"grid.obj\"]}");
  WriteText(folder / "script.txt", "drag 4 2147483647 -2147483648\ndrag 4 -2147483648 2147483647\nok\n");
  Outcome run = Tressel("settings scene.json --script script.txt");
  EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(HostileTest, ProgressReachesTheEndOfEveryPhase) {
  WriteText(folder / "big.obj", GridObj(40));
  Outcome run = Wire("big.obj -o out.obj --preview p.png", "TRESSEL_PROGRESS=lines TRESSEL_REQUEST_DELAY_US=1000");
  ASSERT_EQ(run.status, 0) << run.err;
  // Every title's last line is 100%, and these phases are among them.
  std::map<std::string, std::string> last;
  std::istringstream lines(run.err);
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.rfind(": ");
    ASSERT_NE(colon, std::string::npos) << line;
    last[line.substr(0, colon)] = line.substr(colon + 2, line.find('%') - colon - 2);
  }
  for (const std::string title : {"Importing big.obj", "Reading vertices", "Reading facets", "Writing out.obj", "Drawing p.png"})
    EXPECT_EQ(last[title], "100") << title << " in\n" << run.err;
  for (const auto& [title, percent] : last) EXPECT_EQ(percent, "100") << title;
}

}  // namespace

// The library's formats are read in a worker process: a file the library
// trips over, leaks on or crashes on is one line naming it, exit 2, and
// nothing written (the sanitizer build's leak check covers the command).
TEST_F(HostileTest, TheImportersFaultsAreOneLineNamingTheFile) {
  WriteText(folder / "out.obj", "old\n");
  struct Case {
    std::string name, bytes, says;
  };
  const auto Vertex = [](const char* x, const char* y) {
    return std::string("<vertex><coordinates><x>") + x + "</x><y>" + y + "</y><z>0</z></coordinates></vertex>";
  };
  const std::string lwob = std::string("FORM\0\0\0\x1cLWOBPNTS\0\0\0\x0c", 20) + std::string(4, '\0') +
                           std::string("POLS\x7f\xff\xff\xf0\0\x03\0\0", 12);
  // Bytes the fuzzer found (a binary PLY header behind other text, named
  // glTF): the library's PLY reader crashes on them, and the command used to
  // die of that SIGSEGV without a word.
  static const char kCrashing[] =
          "plysset\":{\"version\":\"2.0b},\"x\":[[[[[[[[[[[[int16[[[[[[[[\x9d""[[[[[[[[[[[[end_head"
          "er[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[\xff""\xff""\xff""\xff""\xff""\xff""\xff""\xff"""
          "\xff""\xff""\xff""\xff""\xff""\xff""\xff""\xff""\xff""\xff""\xff""\x03""ply\nformat bina"
          "ry_little_endian 1roperty uchar blue\nelement faces\": [{\"noe 2\npropertydes\"[ list: u"
          "c [h\x00""\x00""[";
  const std::vector<Case> cases = {
      {"crash.gltf", std::string(kCrashing, sizeof kCrashing - 1), "the importer crashed on it (SIGSEGV: "},
      // bad.amf, bad.irr and bad.ogex each leaked 1 to 2.5 KB when the library
      // read in the command's own process.
      {"bad.amf", "<?xml version=\"1.0\"?>\n<amf unit=\"millimeter\"><object id=\"0\"><mesh><vertices>" +
                      Vertex("0", "0") + Vertex("1", "0") + Vertex("0", "1") +
                      "</vertices><volume><triangle><v1>0</v1><v2>1</v2><v3>7</v3></triangle></volume></mesh>"
                      "</object></amf>\n", ""},
      {"bad.raw", "1 2 3 4 5\nnot numbers at all\n", ""},
      {"bad.irr", "<?xml version=\"1.0\"?>\n<irr_scene><node type=\"mesh\"><attributes><string name=\"Mesh\" "
                  "value=\"missing.obj\"/></attributes></node></irr_scene>\n", ""},
      {"bad.lwo", lwob, ""},
      {"bad.ogex", "GeometryNode $node1\n{\n\tObjectRef {ref {$geometry1}}\n\tTransform {float[16] {{1, 0, 0}}}\n}\n"
                   "GeometryObject $geometry1 {Mesh {VertexArray (attrib = \"position\") {float[3] {{0, 0, 0}, "
                   "{1, 0, 0}, {0, 1, 0}}} IndexArray {unsigned_int32[3] {{0, 1, 2}}}}}\n", ""},
      {"bad.dae", "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\"><library_geometries><geometry id=\"g\"><mesh>"
                  "<source id=\"p\"><float_array id=\"a\" count=\"3\">0 0</float_array></source><triangles count=\"9\">"
                  "<p>0 7 9</p></triangles></mesh></geometry></library_geometries></COLLADA>\n", ""},
      // A vertex list cut off midway: the library's reader of this format
      // reads wild on it (a crash in the sanitizer build, no mesh found in
      // others).
      {"crash.ogex", "GeometryObject $geometry1\n{\n\tMesh (primitive = \"triangles\")\n\t{\n\t\tVertexArray (attrib = "
                     "\"position\")\n\t\t{\n\t\t\tfloat[3]\n\t\t\t{\n\t\t\t\t{0.0, 1.0, 2.0}, {1.0, 0.5",
       ""},
  };
  for (const Case& c : cases) {
    WriteText(folder / c.name, c.bytes);
    Outcome run = Wire(c.name + " -o out.obj");
    EXPECT_EQ(run.status, 2) << c.name << ": " << run.err;
    EXPECT_EQ(run.err.rfind("tressel: wire: " + c.name + ": ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(folder / "out.obj"), "old\n");
  }
  // A worker that crashes, and one whose answer stops short.
  Outcome crash = Wire("bad.dae -o out.obj", "TRESSEL_IMPORT_WORKER=" + Quote(TRESSEL_FAKE_IMPORT_WORKER) +
                                                 " TRESSEL_FAKE_WORKER_MODE=crash");
  EXPECT_EQ(crash.status, 2);
  EXPECT_EQ(crash.err, "tressel: wire: bad.dae: the importer crashed on it (SIGSEGV: Segmentation fault)\n");
  Outcome cut = Wire("bad.dae -o out.obj", "TRESSEL_IMPORT_WORKER=" + Quote(TRESSEL_FAKE_IMPORT_WORKER) +
                                               " TRESSEL_FAKE_WORKER_MODE=cut");
  EXPECT_EQ(cut.status, 2);
  EXPECT_EQ(cut.err, "tressel: wire: bad.dae: the importer's answer ends early (after byte 26, in the position)\n");
}

// SIGTERM while the worker reads: the worker is killed, the run cancelled.
TEST_F(HostileTest, ASignalWhileTheWorkerReadsEndsBoth) {
  WriteText(folder / "out.obj", "old\n");
  WriteText(folder / "m.dae", "<COLLADA/>\n");
  const std::string line =
      "cd " + Quote(folder.string()) + " || exit 1; TRESSEL_IMPORT_WORKER=" + Quote(TRESSEL_FAKE_IMPORT_WORKER) +
      " TRESSEL_FAKE_WORKER_MODE=hang TRESSEL_FAKE_WORKER_PID=w.pid " + Quote(TRESSEL_COMMAND_PATH) +
      " wire m.dae -o out.obj </dev/null & p=$!; n=0; while [ ! -s w.pid ] && [ $n -lt 400 ]; do sleep 0.05; n=$((n+1)); done; kill -TERM $p; wait $p;"
      " echo status=$?; sleep 0.2; kill -0 $(cat w.pid) 2>/dev/null && echo worker-alive; true";
  Outcome run = RunShell(line, (fs::temp_directory_path() / ("tressel-hostile-err-" + std::to_string(::getpid()))).string());
  EXPECT_NE(run.out.find("status=143"), std::string::npos) << run.out << run.err;
  EXPECT_EQ(run.out.find("worker-alive"), std::string::npos) << run.out;
  EXPECT_EQ(ReadText(folder / "out.obj"), "old\n");
  EXPECT_EQ(Temporaries(folder), std::vector<std::string>{});
}
