// Built only while the tree has no engine library: every attach fails with a clear error
// instead of the shared object failing to load.
#include "ocisim/engine/Engine.h"

namespace ocisim {
Statement::~Statement() = default;
Session::~Session() = default;
Database::~Database() = default;
std::shared_ptr<Database> Database::Open(const std::string&) {
    throw EngineError(12541, "ORA-12541: TNS:no listener (this build has no database engine)");
}
} // namespace ocisim
