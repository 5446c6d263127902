// The table of server packages written in C++. Each package lives in its own file of this folder
// and adds itself to the table below.
#include "ocisim/engine/internal/NativePackages.h"
#include "ocisim/engine/packages/PackageSupport.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace ocisim::eng {

void NativeContext::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {

std::vector<std::unique_ptr<NativePackage>> MakePackages() {
    std::vector<std::unique_ptr<NativePackage>> all;
    all.push_back(pkg::MakeDbmsOutput());
    all.push_back(pkg::MakeDbmsPipe());
    all.push_back(pkg::MakeDbmsAlert());
    all.push_back(pkg::MakeDbmsJob());
    all.push_back(pkg::MakeDbmsApplicationInfo());
    all.push_back(pkg::MakeUtlFile());
    all.push_back(pkg::MakeDbmsTransaction());
    all.push_back(pkg::MakeDiutil());
    all.push_back(pkg::MakeDbmsLock());
    all.push_back(pkg::MakeDbmsWm());
    all.push_back(pkg::MakeDbmsUtility());
    all.push_back(pkg::MakeDbmsLob());
    return all;
}

} // namespace

NativePackage* FindNativePackage(std::string_view name) {
    static const std::vector<std::unique_ptr<NativePackage>> packages = MakePackages();
    for (const auto& p : packages)
        if (p->Name() == name) return p.get();
    return nullptr;
}

const std::vector<std::pair<std::string_view, std::string_view>>& NativePackageObjects() {
    static const std::vector<std::pair<std::string_view, std::string_view>> objects = {
        // the job queue of DBMS_JOB
        {"SYS.JOB$", "CREATE TABLE SYS.JOB$ (JOB NUMBER PRIMARY KEY, LOG_USER VARCHAR2(30) NOT NULL, "
                     "PRIV_USER VARCHAR2(30) NOT NULL, SCHEMA_USER VARCHAR2(30) NOT NULL, LAST_DATE DATE, THIS_DATE DATE, "
                     "NEXT_DATE DATE, TOTAL_TIME NUMBER, BROKEN VARCHAR2(1), INTERVAL VARCHAR2(200), FAILURES NUMBER, "
                     "WHAT VARCHAR2(4000), INSTANCE NUMBER)"},
        {"SYS.JOBSEQ", "CREATE SEQUENCE SYS.JOBSEQ START WITH 1 INCREMENT BY 1 NOCACHE"},
        {"SYS.DBA_JOBS", "CREATE VIEW SYS.DBA_JOBS AS " "SELECT JOB, LOG_USER, PRIV_USER, SCHEMA_USER, LAST_DATE, "
                         "TO_CHAR(LAST_DATE, 'HH24:MI:SS') LAST_SEC, THIS_DATE, TO_CHAR(THIS_DATE, 'HH24:MI:SS') THIS_SEC, "
                         "NEXT_DATE, TO_CHAR(NEXT_DATE, 'HH24:MI:SS') NEXT_SEC, TOTAL_TIME, BROKEN, INTERVAL, FAILURES, "
                         "WHAT, INSTANCE FROM SYS.JOB$"},
        {"SYS.ALL_JOBS", "CREATE VIEW SYS.ALL_JOBS AS " "SELECT JOB, LOG_USER, PRIV_USER, SCHEMA_USER, LAST_DATE, "
                         "TO_CHAR(LAST_DATE, 'HH24:MI:SS') LAST_SEC, THIS_DATE, TO_CHAR(THIS_DATE, 'HH24:MI:SS') THIS_SEC, "
                         "NEXT_DATE, TO_CHAR(NEXT_DATE, 'HH24:MI:SS') NEXT_SEC, TOTAL_TIME, BROKEN, INTERVAL, FAILURES, "
                         "WHAT, INSTANCE FROM SYS.JOB$"},
        {"SYS.USER_JOBS", "CREATE VIEW SYS.USER_JOBS AS " "SELECT JOB, LOG_USER, PRIV_USER, SCHEMA_USER, LAST_DATE, "
                         "TO_CHAR(LAST_DATE, 'HH24:MI:SS') LAST_SEC, THIS_DATE, TO_CHAR(THIS_DATE, 'HH24:MI:SS') THIS_SEC, "
                         "NEXT_DATE, TO_CHAR(NEXT_DATE, 'HH24:MI:SS') NEXT_SEC, TOTAL_TIME, BROKEN, INTERVAL, FAILURES, "
                         "WHAT, INSTANCE FROM SYS.JOB$ WHERE LOG_USER = USER"},
        {"PUBLIC.DBA_JOBS", "CREATE PUBLIC SYNONYM DBA_JOBS FOR SYS.DBA_JOBS"},
        {"PUBLIC.ALL_JOBS", "CREATE PUBLIC SYNONYM ALL_JOBS FOR SYS.ALL_JOBS"},
        {"PUBLIC.USER_JOBS", "CREATE PUBLIC SYNONYM USER_JOBS FOR SYS.USER_JOBS"},
        // the signals of DBMS_ALERT: the latest per alert name
        {"SYS.ALERT$", "CREATE TABLE SYS.ALERT$ (NAME VARCHAR2(30), SEQ NUMBER, MESSAGE VARCHAR2(1800))"},
    };
    return objects;
}

} // namespace ocisim::eng
