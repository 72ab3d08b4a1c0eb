#include "CJobQueue.h"

#include "CBackup.h"
#include "ResourceIds.h"
#include "StringTable.h"

namespace tandrel {

CJobQueue theJobQueue;

std::string WithTrailingSlash(std::string path) {
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    return path;
}

CJobQueue::CJobQueue() = default;

// Destroying the log file, if open, writes out what it still holds.
CJobQueue::~CJobQueue() = default;

void CJobQueue::AddJob(const std::string& source, const std::string& dest, int flag,
                       PathFilter filter) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listSource.push_back(WithTrailingSlash(source));
    m_listDest.push_back(WithTrailingSlash(dest));
    m_listFlag.push_back(flag);
    m_listFilter.push_back(std::move(filter));
}

JobPresence CJobQueue::GetNextJob(std::string* source, std::string* dest, int* flag,
                                  PathFilter* filter) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_listSource.empty() || m_listDest.empty() || m_listFlag.empty() || m_listFilter.empty()) {
        return kNoJob;
    }
    *source = std::move(m_listSource.front());
    *dest = std::move(m_listDest.front());
    *flag = m_listFlag.front();
    if (filter != nullptr) {
        *filter = std::move(m_listFilter.front());
    }
    m_listSource.pop_front();
    m_listDest.pop_front();
    m_listFlag.pop_front();
    m_listFilter.pop_front();
    return kJobTaken;
}

int CJobQueue::GetJobCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_listSource.size());
}

std::deque<std::string> CJobQueue::SourceRoots() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_listSource;
}

std::deque<std::string> CJobQueue::DestRoots() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_listDest;
}

std::deque<PathFilter> CJobQueue::Filters() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_listFilter;
}

bool CJobQueue::StartRun(ExtraFileAction action, const std::string& recycleDir, RunKind kind) {
    m_bRunning = true;
    m_nRunAction = action;
    m_nRunKind = kind;
    // An empty recycle directory stays empty: "/" would name the file system's root.
    m_strRecycleDir = WithTrailingSlash(recycleDir);
    return m_pThread != nullptr && m_pThread->PostThreadMessage(UM_RUN_JOBS);
}

void CJobQueue::StopRun() {
    if (m_pThread != nullptr) {
        m_pThread->CancelRun();
    }
}

bool CJobQueue::AnswerDeleteQuestion(uint64_t id, DeleteAnswer answer) {
    return m_pThread != nullptr && m_pThread->AnswerDeleteQuestion(id, answer);
}

void CJobQueue::WriteLine(std::string_view line) {
    if (m_pPageLog != nullptr) {
        m_pPageLog->AddLine(line);
    }
    // A preview writes nothing anywhere but to the display.
    if (!m_bLogEnabled || m_nRunKind == RunKind::kPreview) {
        return;
    }
    if (!m_logFile) {
        // A file is emptied when this process first opens it; later runs append to it. Once
        // open it stays open, whatever name is set later, until it fails: then the next line
        // logged opens the name set by then, continuing it if it is a file this process
        // opened before.
        const LogOpenMode mode = m_logNamesOpened.count(m_strLogFileName) != 0
                                     ? LogOpenMode::kAppend
                                     : LogOpenMode::kEmpty;
        if (!m_pFileSystem->OpenLogFile(m_strLogFileName, &m_logFile, mode).ok()) {
            m_logFile.reset();
            m_bLogEnabled = false;
            return;
        }
        m_logNamesOpened.insert(m_strLogFileName);
    }
    if (!m_logFile->Append(line).ok()) {
        // A full disk or a vanished file: stop logging rather than pretend the lines are kept.
        DropLog();
    }
}

void CJobQueue::FlushLog() {
    if (m_logFile && !m_logFile->Flush().ok()) {
        DropLog();
    }
}

void CJobQueue::DropLog() {
    m_logFile.reset();
    m_bLogEnabled = false;
}

DirCheckResult CJobQueue::CheckDirectory(const std::string& path, FileSystem& fs) {
    if (path.empty()) {
        return kDirNameEmpty;
    }
    // ListDirectory never follows a link; a root given as a link is the user's own choice and
    // is fine, so the directory it resolves to is the one looked at. It must exist and be
    // listable: a run can do nothing with one it cannot read.
    std::string dir;
    if (!fs.CanonicalPath(path, &dir).ok()) {
        return kDirNotFound;
    }
    return fs.ProbeDirectory(dir).ok() ? kDirExists : kDirNotFound;
}

std::string CJobQueue::DirectoryErrorText(DirCheckResult result, int fieldId) {
    std::string text =
        LoadString(result == kDirNameEmpty ? IDS_ERR_DIR_EMPTY : IDS_ERR_DIR_NOT_FOUND);
    const std::string field = LoadString(fieldId);
    const size_t at = text.find("%1");
    if (at != std::string::npos) {
        text.replace(at, 2, field);
    }
    // Error texts begin with "!", which is not shown.
    if (!text.empty() && text.front() == '!') {
        text.erase(0, 1);
    }
    return text;
}

}  // namespace tandrel
