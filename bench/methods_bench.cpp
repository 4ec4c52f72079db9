// How fast the method machine runs, beside Lua 5.4 running the same loops
// in the same process: a tight integer loop of 10 million passes (one
// comparison, one add and one increment each) and a floating-point loop.
// The methods are written in the readable description form, assembled and
// loaded through Driver/Lirrand.so as the program would load them.
//
//   methods_bench [PASSES]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "eddtext/binary.h"
#include "eddtext/text_form.h"
#include "lirrand.h"
#include "methods/engine.h"
#include "platform/dynamic_library.h"
#include "ui/console_user_interface.h"

namespace {

using Clock = std::chrono::steady_clock;
using tavrin::methods::Entry;

// int i, s;  for (i = 0; i < PASSES; i++) s = s + i;
// float f; int i;  for (i = 0; i < PASSES; i++) f = f * 0.5 + 1.25;
constexpr const char* kMethods = R"(
  list 14
    method
      identifier "integer_loop"
      method-definition
        compound
          declaration-list
            declaration
              specifier-list
                int
              declarator
                identifier "i"
              declarator
                identifier "s"
          statement-list
            for
              expression
                assign
                  identifier "i"
                  integer-constant 0
              expression
                lt
                  identifier "i"
                  integer-constant PASSES
              expression
                post-inc
                  identifier "i"
              expression
                assign
                  identifier "s"
                  add
                    identifier "s"
                    identifier "i"
    method
      identifier "float_loop"
      method-definition
        compound
          declaration-list
            declaration
              specifier-list
                float-specifier
              declarator
                identifier "f"
            declaration
              specifier-list
                int
              declarator
                identifier "i"
          statement-list
            for
              expression
                assign
                  identifier "i"
                  integer-constant 0
              expression
                lt
                  identifier "i"
                  integer-constant PASSES
              expression
                post-inc
                  identifier "i"
              expression
                assign
                  identifier "f"
                  add
                    mul
                      identifier "f"
                      float-constant 0.5
                    float-constant 1.25
)";

// Just enough of a description model for methods that use locals only.
class BlockModel : public tavrin::methods::MethodModel {
 public:
  explicit BlockModel(const EddBlock& block) : block_(block) {}
  std::string_view text(int32_t index) const override {
    return index >= 0 && index < block_.textCount ? block_.texts[index] : "";
  }
  const EddNode* findObject(int32_t id) const override {
    for (const EddElement& head : block_.heads) {
      for (const EddElement* e = head.next; e; e = e->next) {
        if (e->id == id) return e->root;
      }
    }
    return nullptr;
  }
  std::optional<Entry> variableValue(int32_t) override { return std::nullopt; }
  bool assignVariable(int32_t, const Entry&) override { return false; }
  std::optional<int32_t> resolveReference(const EddNode&) override { return std::nullopt; }

 private:
  const EddBlock& block_;
};

// Instructions of one loop pass: from the loop's top to the jump back to it.
int32_t instructionsPerPass(tavrin::methods::MethodEngine& engine, const EddNode& method) {
  const EddNode* body = method.child->sibling->child;
  const int32_t start = engine.program().next();
  engine.compileMethodBody(body);
  int32_t perPass = 0;
  for (int32_t i = start; i < engine.program().next(); ++i) {
    const auto& ins = engine.program()[i];
    if (ins.op == +tavrin::methods::Op::JMP && ins.operand < i) perPass = i - ins.operand + 1;
  }
  // METHODS_BENCH_LIST=1 lists the compiled code, to see what a pass runs.
  if (std::getenv("METHODS_BENCH_LIST") != nullptr) {
    for (int32_t i = start; i < engine.program().next(); ++i) {
      const auto& ins = engine.program()[i];
      std::fprintf(stderr, "%4d %-6s %d\n", i, std::string(tavrin::methods::mnemonic(ins.op)).c_str(), ins.operand);
    }
  }
  engine.program().cutBack(start);
  return perPass;
}

double secondsOf(const auto& f) {
  const auto start = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double luaSeconds(lua_State* lua, const std::string& chunk) {
  if (luaL_loadstring(lua, chunk.c_str()) != LUA_OK) {
    std::fprintf(stderr, "%s\n", lua_tostring(lua, -1));
    std::exit(1);
  }
  return secondsOf([&] {
    if (lua_pcall(lua, 0, 0, 0) != LUA_OK) {
      std::fprintf(stderr, "%s\n", lua_tostring(lua, -1));
      std::exit(1);
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  const long passes = argc > 1 ? std::max(1L, std::atol(argv[1])) : 10000000L;
  std::string source = kMethods;
  for (auto at = source.find("PASSES"); at != std::string::npos; at = source.find("PASSES")) {
    source.replace(at, 6, std::to_string(passes));
  }
  const auto assembled = tavrin::eddtext::assembleText(source, "methods_bench");
  if (!assembled.document) {
    std::fprintf(stderr, "%s\n", assembled.error.c_str());
    return 1;
  }
  const std::string bytes = tavrin::eddtext::writeBinary(*assembled.document);
  char path[] = "/tmp/methods-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return 1;
  close(fd);

  tavrin::platform::DynamicLibrary lirrand;
  if (!lirrand.open(std::string(TAVRIN_DIST_DIR) + "Driver/Lirrand.so")) {
    std::fprintf(stderr, "%s\n", lirrand.error().c_str());
    return 1;
  }
  auto read = lirrand.function<int32_t(EddBlock*, const char*)>("Binary_ReadEDD");
  auto deleteAll = lirrand.function<void(EddBlock*)>("Binary_DeleteALL");
  EddBlock block;
  read(&block, path);
  unlink(path);

  std::ostringstream errors;
  tavrin::ui::ConsoleUserInterface ui(std::cin, std::cout, errors, {});
  BlockModel model(block);
  tavrin::methods::MethodEngine engine(ui, model);
  lua_State* lua = luaL_newstate();
  luaL_openlibs(lua);

  struct Loop {
    const char* method;
    std::string lua;
  };
  const std::string n = std::to_string(passes);
  const Loop loops[] = {
      {"integer_loop", "local i, s = 0, 0 while i < " + n + " do s = s + i i = i + 1 end"},
      {"float_loop", "local i, f = 0, 0.0 while i < " + n + " do f = f * 0.5 + 1.25 i = i + 1 end"},
  };
  std::printf("%ld passes per loop\n", passes);
  // ns/instr counts the instructions of the compiled code, as listed, not
  // the groups the machine fuses them into.
  std::printf("%-13s %9s %10s %8s %9s %10s %8s\n", "loop", "instr/pass", "machine s", "ns/pass", "ns/instr", "Lua 5.4 s",
              "ratio");
  for (const Loop& loop : loops) {
    const EddNode* method = nullptr;
    for (int32_t id = 0; id < block.textCount; ++id) {
      if (std::string_view(block.texts[id]) == loop.method) method = model.findObject(id);
    }
    if (!method) return 1;
    const int32_t perPass = instructionsPerPass(engine, *method);
    double machine = 1e9;
    double byLua = 1e9;
    for (int round = 0; round < 3; ++round) {
      machine = std::min(machine, secondsOf([&] { engine.runMethod(*method); }));
      byLua = std::min(byLua, luaSeconds(lua, loop.lua));
    }
    const double perPassNs = machine * 1e9 / static_cast<double>(passes);
    std::printf("%-13s %9d %10.3f %8.2f %9.3f %10.3f %7.2fx\n", loop.method, perPass, machine, perPassNs,
                perPassNs / perPass, byLua, machine / byLua);
  }
  lua_close(lua);
  deleteAll(&block);
  std::fputs(errors.str().c_str(), stderr);
  return errors.str().empty() ? 0 : 1;
}
