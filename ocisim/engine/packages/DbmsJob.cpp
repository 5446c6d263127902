// DBMS_JOB: the job queue. Jobs are rows of SYS.JOB$ (shown by USER_JOBS, ALL_JOBS and DBA_JOBS),
// changed in the caller's transaction like any row; a job belongs to the user who submitted it.
// There is no background queue: RUN executes a job at once in the calling session.
#include "ocisim/engine/packages/PackageSupport.h"

#include "ocisim/engine/internal/Runtime.h"

#include <chrono>

namespace ocisim::eng::pkg {
namespace {

constexpr int kMaxFailures = 16;
const double kBrokenDate = rt::JulianFromCivil(4000, 1, 1, 0, 0, 0);

[[noreturn]] void NoJob(int64_t job) {
    Raise(23421, "job number " + std::to_string(job) + " is not a job in the job queue");
}

int64_t JobNumber(const Value& v) {
    if (IsNull(v)) Raise(23421, "job number  is not a job in the job queue");
    return Int(v);
}

// The next run after `from` as the interval expression gives it; NULL for none.
Value NextOf(NativeContext& ctx, const std::string& interval) {
    std::string e = interval;
    while (!e.empty() && (e.back() == ' ' || e.back() == ';')) e.pop_back();
    if (e.empty() || e == "null" || e == "NULL") return NullValue();
    Rows r;
    try {
        r = Query(ctx, "SELECT " + e + " FROM DUAL");
    } catch (const EngineError&) {
        Raise(23420, "interval must evaluate to a time in the future");
    }
    if (r.empty() || IsNull(r[0][0])) return NullValue();
    if (r[0][0].kind != ValueRef::Date) Raise(23420, "interval must evaluate to a time in the future");
    return r[0][0];
}

void CheckWhat(const std::string& what) {
    if (what.empty()) Raise(23319, "parameter value \"\" is not appropriate");
    if (what.size() > 4000) ValueError("character string buffer too small");
}

// The job's row, owned by the caller: JOB, WHAT, INTERVAL, FAILURES.
std::vector<Value> Job(NativeContext& ctx, int64_t job) {
    Rows r = Query(ctx, "SELECT JOB, WHAT, INTERVAL, FAILURES FROM SYS.JOB$ WHERE JOB = :1 AND LOG_USER = :2",
                   {IntValue(job), TextValue(ctx.Sql().UserName())});
    if (r.empty()) NoJob(job);
    return r[0];
}

void Update(NativeContext& ctx, int64_t job, const std::string& set, std::vector<Value> binds) {
    Job(ctx, job);
    binds.push_back(IntValue(job));
    Exec(ctx, "UPDATE SYS.JOB$ SET " + set + " WHERE JOB = :" + std::to_string(binds.size()), binds);
}

std::string DateLiteral(double jd) {
    return "TO_DATE('" + rt::FormatDate(jd, "YYYY-MM-DD HH24:MI:SS") + "', 'YYYY-MM-DD HH24:MI:SS')";
}

class DbmsJob final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_JOB"; }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        if (result) return false;
        Params p;
        if (m == "SUBMIT") {
            if (!p.Match(args, {"JOB", "WHAT", "NEXT_DATE", "INTERVAL", "NO_PARSE", "INSTANCE", "FORCE"}, 2) || !p[0]->out)
                return false;
            std::string what = Text(p.In(1));
            CheckWhat(what);
            Value next = p.Given(2) ? p.In(2) : DateValue(rt::Now());
            if (!IsNull(next)) next = DateValue(DateOf(next));
            std::string interval = p.Given(3) && !IsNull(p.In(3)) ? Text(p.In(3)) : "null";
            NextOf(ctx, interval);
            Rows r = Query(ctx, "SELECT SYS.JOBSEQ.NEXTVAL FROM DUAL");
            int64_t job = Int(r.at(0).at(0));
            const std::string& user = ctx.Sql().UserName();
            Exec(ctx,
                 "INSERT INTO SYS.JOB$ (JOB, LOG_USER, PRIV_USER, SCHEMA_USER, NEXT_DATE, TOTAL_TIME, BROKEN, INTERVAL, "
                 "FAILURES, WHAT, INSTANCE) VALUES (:1, :2, :3, :4, :5, 0, 'N', :6, 0, :7, 0)",
                 {IntValue(job), TextValue(user), TextValue(user), TextValue(ctx.Sql().SchemaName()), next,
                  TextValue(interval), TextValue(what)});
            p.Out(0, IntValue(job));
            return true;
        }
        if (m == "REMOVE") {
            if (!p.Match(args, {"JOB"}, 1)) return false;
            int64_t job = JobNumber(p.In(0));
            Job(ctx, job);
            Exec(ctx, "DELETE FROM SYS.JOB$ WHERE JOB = :1", {IntValue(job)});
            return true;
        }
        if (m == "CHANGE") {
            if (!p.Match(args, {"JOB", "WHAT", "NEXT_DATE", "INTERVAL", "INSTANCE", "FORCE"}, 4)) return false;
            int64_t job = JobNumber(p.In(0));
            Job(ctx, job);
            // NULL leaves a setting as it is
            if (!IsNull(p.In(1))) {
                CheckWhat(Text(p.In(1)));
                Update(ctx, job, "WHAT = :1", {TextValue(Text(p.In(1)))});
            }
            if (!IsNull(p.In(2))) Update(ctx, job, "NEXT_DATE = :1", {DateValue(DateOf(p.In(2)))});
            if (!IsNull(p.In(3))) {
                NextOf(ctx, Text(p.In(3)));
                Update(ctx, job, "INTERVAL = :1", {TextValue(Text(p.In(3)))});
            }
            return true;
        }
        if (m == "WHAT") {
            if (!p.Match(args, {"JOB", "WHAT"}, 2)) return false;
            std::string what = Text(p.In(1));
            CheckWhat(what);
            Update(ctx, JobNumber(p.In(0)), "WHAT = :1", {TextValue(what)});
            return true;
        }
        if (m == "NEXT_DATE") {
            if (!p.Match(args, {"JOB", "NEXT_DATE"}, 2)) return false;
            Value next = IsNull(p.In(1)) ? NullValue() : DateValue(DateOf(p.In(1)));
            Update(ctx, JobNumber(p.In(0)), "NEXT_DATE = :1", {next});
            return true;
        }
        if (m == "INTERVAL") {
            if (!p.Match(args, {"JOB", "INTERVAL"}, 2)) return false;
            std::string interval = IsNull(p.In(1)) ? "null" : Text(p.In(1));
            NextOf(ctx, interval);
            Update(ctx, JobNumber(p.In(0)), "INTERVAL = :1", {TextValue(interval)});
            return true;
        }
        if (m == "BROKEN") {
            if (!p.Match(args, {"JOB", "BROKEN", "NEXT_DATE"}, 2)) return false;
            int64_t job = JobNumber(p.In(0));
            if (IsNull(p.In(1))) ValueError();
            if (Bool(p.In(1))) {
                Update(ctx, job, "BROKEN = 'Y', NEXT_DATE = :1", {DateValue(kBrokenDate)});
            } else {
                Value next = p.Given(2) ? p.In(2) : DateValue(rt::Now());
                if (!IsNull(next)) next = DateValue(DateOf(next));
                Update(ctx, job, "BROKEN = 'N', FAILURES = 0, NEXT_DATE = :1", {next});
            }
            return true;
        }
        if (m == "RUN") {
            if (!p.Match(args, {"JOB", "FORCE"}, 1)) return false;
            Run(ctx, JobNumber(p.In(0)));
            return true;
        }
        return false;
    }

private:
    static void Run(NativeContext& ctx, int64_t job) {
        std::vector<Value> row = Job(ctx, job);
        std::string what = Text(row[1]);
        std::string interval = Text(row[2]);
        int64_t failures = IsNull(row[3]) ? 0 : Int(row[3]);
        double start = rt::Now();
        auto t0 = std::chrono::steady_clock::now();
        Exec(ctx, "UPDATE SYS.JOB$ SET THIS_DATE = :1 WHERE JOB = :2", {DateValue(start), IntValue(job)});
        // the job sees the variables job, next_date and broken, as in the queue
        std::string block = "DECLARE\n  job BINARY_INTEGER := " + std::to_string(job) + ";\n  next_date DATE := " +
                            DateLiteral(start) + ";\n  broken BOOLEAN := FALSE;\nBEGIN\n  " + what + "\nEND;";
        try {
            ctx.RunBlock(block);
        } catch (const EngineError& e) {
            ++failures;
            bool broken = failures >= kMaxFailures;
            Exec(ctx, "UPDATE SYS.JOB$ SET THIS_DATE = NULL, FAILURES = :1, BROKEN = :2, NEXT_DATE = :3 WHERE JOB = :4",
                 {IntValue(failures), TextValue(broken ? "Y" : "N"),
                  broken ? DateValue(kBrokenDate) : DateValue(start + 1.0 / 1440 * (1 << std::min<int64_t>(failures, 10))),
                  IntValue(job)});
            Raise(12011, "execution of 1 jobs failed\n" + e.Text);
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        Value next = NextOf(ctx, interval);
        if (IsNull(next)) {
            // a job without a next run has done its work
            Exec(ctx, "DELETE FROM SYS.JOB$ WHERE JOB = :1", {IntValue(job)});
            return;
        }
        Exec(ctx,
             "UPDATE SYS.JOB$ SET LAST_DATE = :1, THIS_DATE = NULL, NEXT_DATE = :2, FAILURES = 0, BROKEN = 'N', "
             "TOTAL_TIME = NVL(TOTAL_TIME, 0) + :3 WHERE JOB = :4",
             {DateValue(start), next, NumValue(seconds), IntValue(job)});
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsJob() { return std::make_unique<DbmsJob>(); }

} // namespace ocisim::eng::pkg
