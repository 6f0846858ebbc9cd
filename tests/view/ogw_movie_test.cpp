#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include "platform/plat_gl.h"
#include "platform/plat_text.h"
#include "tests/support/test_support.h"
#include "tests/view/view_fixture.h"
#include "view/ogw_movie.h"

namespace {

using viewtest::g_draw;

using testsupport::Shell;

bool HaveFfprobe()
{
    return system("command -v ffprobe >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1") == 0;
}

// The stream's fields as ffprobe reports them (key=value lines).
std::map<std::string, std::string> Probe(const std::string& file)
{
    std::string text = Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                           "stream=codec_tag_string,width,height,r_frame_rate,nb_read_frames -of default=nw=1 '" +
                           file + "'");
    std::map<std::string, std::string> fields;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (size_t eq = line.find('='); eq != std::string::npos)
            fields[line.substr(0, eq)] = line.substr(eq + 1);
    return fields;
}

// Top half red, bottom half blue: an upside-down movie shows it at once.
void RedOverBlue(OGW_WINDOW* w)
{
    viewtest::PixelProjectionOf(w);
    glBegin(GL_QUADS);
    glColor3f(0, 0, 1);
    glVertex2i(0, 0), glVertex2i(w->clientWidth, 0), glVertex2i(w->clientWidth, w->clientHeight / 2),
        glVertex2i(0, w->clientHeight / 2);
    glColor3f(1, 0, 0);
    glVertex2i(0, w->clientHeight / 2), glVertex2i(w->clientWidth, w->clientHeight / 2),
        glVertex2i(w->clientWidth, w->clientHeight), glVertex2i(0, w->clientHeight);
    glEnd();
}

// Movies and shots in virtual time.
class OgwMovieTest : public viewtest::ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        PLAT_SetVirtualTime(1);
    }
    // Virtual time: each frame is drawn at a tick 20 ms after the last.
    void VirtualFrames(int count)
    {
        for (int i = 0; i < count; ++i) {
            PLAT_AdvanceVirtualTime(20);
            ASSERT_TRUE(Frame());
        }
    }
};

TEST_F(OgwMovieTest, TheMovieKeepsClockTimeAndAPauseAddsNoFrames)
{
    Open(64, 48);
    std::string dir = testsupport::MakeTempDir("movie_clock");
    std::string file = dir + "/clock.avi";
    ASSERT_EQ(OGW_ConfigureMovie(window_, file.c_str(), "DIB ", 8, 500, 10000), 1u);
    OGW_StartMovie(window_);
    ASSERT_NE(window_->movieWriter, nullptr);
    // The first frame, then 1000 ms in 20 ms frames: the count follows the
    // clock, one frame per 125 ms rounded, at least the first.
    VirtualFrames(51);
    EXPECT_EQ(window_->movieWriter->avi.frameIndex, 8u);
    // Configuring while recording changes nothing.
    EXPECT_EQ(OGW_ConfigureMovie(window_, "other.avi", "MJPG", 25, 1, 1), 1u);
    EXPECT_EQ(window_->frameRate, 8);
    OGW_StopMovie(window_);
    VirtualFrames(1);
    PLAT_AdvanceVirtualTime(10000);
    VirtualFrames(1);
    OGW_StartMovie(window_);
    VirtualFrames(25);   // 500 ms more
    EXPECT_EQ(window_->movieWriter->avi.frameIndex, 12u);
    // Slow frames repeat the picture so the movie stays in time.
    PLAT_AdvanceVirtualTime(980);
    VirtualFrames(1);
    EXPECT_EQ(window_->movieWriter->avi.frameIndex, 20u);
}

TEST_F(OgwMovieTest, CodecsWriteUprightMoviesOfEvenAndOddWidths)
{
    if (!HaveFfprobe())
        GTEST_SKIP() << "no ffprobe";
    std::string dir = testsupport::MakeTempDir("movie_codecs");
    struct Case {
        const char* fourcc;
        const char* tag;
        const char* name;
    } cases[] = {{"MJPG", "MJPG", "MJPG"}, {"DIVX", "DIVX", "DIVX"}, {"DIB\0", "[0][0][0][0]", "raw"}};
    g_draw = RedOverBlue;
    for (uint16_t width : {800, 801}) {
        for (const Case& c : cases) {
            Open(width, 600);
            std::string file = dir + "/" + std::to_string(width) + c.name + ".avi";
            ASSERT_EQ(OGW_ConfigureMovie(window_, file.c_str(), c.fourcc, 10, 500, 1000), 1u);
            OGW_StartMovie(window_);
            VirtualFrames(21);   // 400 ms after the first frame: 4 frames at 10 per second
            OGW_DisableRedraw(window_);
            OGW_DestroyWindow(window_);   // completes the file
            window_ = nullptr;
            std::map<std::string, std::string> p = Probe(file);
            EXPECT_EQ(p["codec_tag_string"], c.tag) << file;
            EXPECT_EQ(p["width"], std::to_string(width)) << file;
            EXPECT_EQ(p["height"], "600") << file;
            EXPECT_EQ(p["r_frame_rate"], "10/1") << file;
            EXPECT_EQ(p["nb_read_frames"], "4") << file;
            std::string rgb = Shell("ffmpeg -v error -i '" + file + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
            ASSERT_EQ(rgb.size(), size_t(width) * 600 * 3) << file;
            auto at = [&](int x, int y) { return reinterpret_cast<const uint8_t*>(rgb.data()) + (y * width + x) * 3; };
            EXPECT_GT(at(10, 10)[0], 200) << file << ": the top is red";
            EXPECT_LT(at(10, 10)[2], 60) << file;
            EXPECT_GT(at(width - 10, 590)[2], 200) << file << ": the bottom is blue";
        }
    }
}

TEST_F(OgwMovieTest, AnUnknownCodecIsSaidOnceOnStandardErrorAndInTheLog)
{
    Open(32, 32);
    std::string dir = testsupport::MakeTempDir("movie_zzzz");
    ASSERT_EQ(OGW_ConfigureMovie(window_, (dir + "/z.avi").c_str(), "ZZZZ", 8, 500, 1000), 1u);
    OGW_StartMovie(window_);
    char title[128];
    PLAT_GetWindowText(window_->window, title, sizeof title);
    EXPECT_STREQ(title, "test - Záznam běží");
    testing::internal::CaptureStderr();
    VirtualFrames(11);   // the first frame and the second, due from 188 ms on
    OGW_ReportRecordingLoss(window_);   // as the next redraw request does
    VirtualFrames(11);
    OGW_ReportRecordingLoss(window_);
    std::string err = testing::internal::GetCapturedStderr();
    std::string log = testsupport::ReadFile("Zendrix.log");
    // The first frame fails opening the codec; the later ones write nothing
    // and say nothing more.
    const std::string line = "OGW: film \"" + dir +
                             "/z.avi\" nelze zapisovat (Unable to Create Compressed Stream: Check your CODEC options), "
                             "film se ztrácí.\n";
    EXPECT_EQ(err, PLAT_Cp1250ToUtf8(line.c_str()));
    size_t first = log.find(line);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos);
    EXPECT_EQ(log.find("OGW"), first);
    EXPECT_FALSE(std::filesystem::exists(dir + "/z.avi"));
    EXPECT_EQ(OGW_RecordingLost(), 1u);
    OGW_StopMovie(window_);
    PLAT_GetWindowText(window_->window, title, sizeof title);
    EXPECT_STREQ(title, "test");
}

TEST_F(OgwMovieTest, ClosingTheWindowWhileDrawingEndsDrawingAndTheMovieIsStillCompleted)
{
    if (!HaveFfprobe())
        GTEST_SKIP() << "no ffprobe";
    Open(32, 32);
    std::string file = testsupport::MakeTempDir("movie_closed") + "/closed.avi";
    ASSERT_EQ(OGW_ConfigureMovie(window_, file.c_str(), "MJPG", 10, 500, 1000), 1u);
    OGW_StartMovie(window_);
    VirtualFrames(11);
    PLAT_DestroyWindow(window_->window);   // the user closed it while drawing is on
    EXPECT_EQ(window_->window, 0u);
    EXPECT_EQ(window_->drawingEnabled.load(), 0u);
    int frames = viewtest::g_frames.load();
    OGW_EnableRedraw(window_);
    OGW_RequestRedraw(window_);
    PLAT_Sleep(30);
    EXPECT_EQ(viewtest::g_frames.load(), frames);
    OGW_DisableRedraw(window_);
    OGW_DestroyWindow(window_);
    window_ = nullptr;
    EXPECT_EQ(Probe(file)["nb_read_frames"], "2");
}

// The messages of a lost movie and a lost screenshot, as standard error has them.
std::string MovieLoss(const std::string& file, const char* reason)
{
    std::string text = "OGW: film \"" + file + "\" nelze zapisovat (" + reason + "), film se ztrácí.\n";
    return PLAT_Cp1250ToUtf8(text.c_str());
}

std::string ShotLoss(const std::string& file, const char* reason)
{
    std::string text = "OGW: snímek obrazovky nelze uložit do souboru \"" + file + "\" (" + reason + ").\n";
    return PLAT_Cp1250ToUtf8(text.c_str());
}

// A movie and a screenshot named by a named pipe: the render thread neither
// waits for a reader nor writes to one; each loss is said once, and the
// drawing goes on.
TEST_F(OgwMovieTest, NamedPipesAreRefusedWithoutWaitingWithOrWithoutAReader)
{
    for (bool reader : {false, true}) {
        Open(32, 32);
        std::string dir = testsupport::MakeTempDir(reader ? "movie_fifo_reader" : "movie_fifo");
        static std::string s_shot;
        s_shot = dir + "/shot.jpg";
        std::string movie = dir + "/m.avi";
        ASSERT_EQ(mkfifo(movie.c_str(), 0644), 0);
        ASSERT_EQ(mkfifo(s_shot.c_str(), 0644), 0);
        int movieEnd = reader ? open(movie.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        int shotEnd = reader ? open(s_shot.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        ASSERT_EQ(OGW_ConfigureMovie(window_, movie.c_str(), "MJPG", 10, 500, 1000), 1u);
        ASSERT_EQ(OGW_ConfigureCapture(window_, 100, s_shot.c_str(), 75), 1u);
        OGW_StartMovie(window_);
        testing::internal::CaptureStderr();
        int before = viewtest::g_frames.load();
        VirtualFrames(12);
        OGW_ReportRecordingLoss(window_);
        int frames = viewtest::g_frames.load() - before;
        OGW_DisableRedraw(window_);
        OGW_DestroyWindow(window_);
        window_ = nullptr;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(frames, 12) << "reader " << reader;
        EXPECT_EQ(err, MovieLoss(movie, "je to pojmenovaná roura") + ShotLoss(s_shot, "je to pojmenovaná roura"))
            << "reader " << reader;
        struct stat st {};
        EXPECT_TRUE(stat(movie.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
        for (int fd : {movieEnd, shotEnd}) {
            if (fd < 0) continue;
            char byte;
            EXPECT_EQ(read(fd, &byte, 1), 0) << "nothing written";
            close(fd);
        }
    }
    EXPECT_EQ(OGW_RecordingLost(), 1u);
}

// Past the file size limit (as on a full disk) a movie or screenshot cut
// short is removed, not left to look whole, and its loss is said once.
TEST_F(OgwMovieTest, AMovieOrScreenshotPastTheSizeLimitIsRemovedAndSaidOnce)
{
    g_draw = RedOverBlue;
    Open(64, 48);
    std::string dir = testsupport::MakeTempDir("movie_limit");
    std::string movie = dir + "/raw.avi";
    static std::string s_shot;
    s_shot = dir + "/shot#.jpg";
    ASSERT_EQ(OGW_ConfigureMovie(window_, movie.c_str(), "DIB ", 50, 500, 1000), 1u);
    OGW_StartMovie(window_);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 20000;   // the header and a frame of 9216 bytes fit, not all eight
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    testing::internal::CaptureStderr();
    VirtualFrames(8);
    OGW_ReportRecordingLoss(window_);
    small.rlim_cur = 200;   // less than any JPEG
    setrlimit(RLIMIT_FSIZE, &small);
    ASSERT_EQ(OGW_ConfigureCapture(window_, 20, s_shot.c_str(), 75), 1u);
    VirtualFrames(3);
    OGW_DisableRedraw(window_);
    setrlimit(RLIMIT_FSIZE, &old);   // the captured standard error is a file too
    signal(SIGXFSZ, oldHandler);
    OGW_DestroyWindow(window_);
    window_ = nullptr;
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, MovieLoss(movie, "File too large") + ShotLoss(dir + "/shot1.jpg", "File too large"));
    EXPECT_FALSE(std::filesystem::exists(movie));
    for (const char* shot : {"/shot1.jpg", "/shot2.jpg", "/shot3.jpg"})
        EXPECT_FALSE(std::filesystem::exists(dir + shot)) << shot;
    EXPECT_EQ(OGW_RecordingLost(), 1u);
}

TEST(OgwScreenshotName, HashesTakeTheCounterFromTheRight)
{
    char name[64];
    OGW_ScreenshotName("img####.jpg", 1, name);
    EXPECT_STREQ(name, "img0001.jpg");
    OGW_ScreenshotName("img####.jpg", 10000, name);
    EXPECT_STREQ(name, "img0000.jpg");
    OGW_ScreenshotName("shot.jpg", 7, name);
    EXPECT_STREQ(name, "shot.jpg");
    std::string many = "x" + std::string(22, '#') + ".jpg";
    OGW_ScreenshotName(many.c_str(), 12, name);
    EXPECT_EQ(std::string(name), "x##" + std::string(18, '0') + "12.jpg") << "'#'s beyond the twentieth stay";
}

TEST_F(OgwMovieTest, ScreenshotsAreJpegsOfTheClientSize)
{
    if (!HaveFfprobe())
        GTEST_SKIP() << "no ffprobe";
    Open(81, 40);
    std::string dir = testsupport::MakeTempDir("shots");
    static std::string s_template;
    s_template = dir + "/img##.jpg";
    ASSERT_EQ(OGW_ConfigureCapture(window_, 100, s_template.c_str(), 500), 1u);
    VirtualFrames(6);   // shots at the first frame and 100 ms later
    EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=width,height -of csv=p=0 '" + dir + "/img01.jpg'"),
              "81,40\n");
    EXPECT_TRUE(testsupport::ReadFile(dir + "/img02.jpg").size() > 0);
    EXPECT_TRUE(testsupport::ReadFile(dir + "/img03.jpg").empty());
    // A shot that cannot be written names its file and the reason in the log.
    static std::string s_bad;
    s_bad = dir + "/missing/dir/x.jpg";
    ASSERT_EQ(OGW_ConfigureCapture(window_, 0, s_bad.c_str(), 75), 1u);
    testing::internal::CaptureStderr();
    VirtualFrames(1);
    OGW_ReportRecordingLoss(window_);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(testsupport::ReadFile("Zendrix.log").find(s_bad + "\" (No such file or directory)"), std::string::npos);
    EXPECT_NE(err.find(s_bad), std::string::npos);
}

}
