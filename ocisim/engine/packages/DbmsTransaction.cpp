// DBMS_TRANSACTION: the calling session's transaction.
#include "ocisim/engine/packages/PackageSupport.h"

#include <cctype>

namespace ocisim::eng::pkg {
namespace {

class DbmsTransaction final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_TRANSACTION"; }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        Params p;
        if (m == "LOCAL_TRANSACTION_ID") {
            // CREATE_TRANSACTION is accepted; a transaction starts with the first change
            if (!result || !p.Match(args, {"CREATE_TRANSACTION"}, 0)) return false;
            *result = TextValue(ctx.LocalTransactionId());
            return true;
        }
        if (result) return false;
        if (m == "COMMIT" || m == "ROLLBACK") {
            if (!p.Match(args, {}, 0)) return false;
            Exec(ctx, std::string(m));
            return true;
        }
        if (m == "SAVEPOINT" || m == "ROLLBACK_SAVEPOINT") {
            if (!p.Match(args, {"SAVEPT"}, 1)) return false;
            std::string name = Text(p.In(0));
            bool plain = !name.empty();
            for (char c : name)
                if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#')) plain = false;
            if (!plain) Raise(1086, "savepoint '" + name + "' never established in this session or is invalid");
            Exec(ctx, (m == "SAVEPOINT" ? "SAVEPOINT " : "ROLLBACK TO SAVEPOINT ") + name);
            return true;
        }
        return false;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsTransaction() { return std::make_unique<DbmsTransaction>(); }

} // namespace ocisim::eng::pkg
