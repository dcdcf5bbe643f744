# Sourced by the Windows test scripts: runs one GoogleTest executable whole
# under Wine and adds its cases to the caller's $passed and $failed.
#   run_gtest NAME EXE LOG
run_gtest() {
  local name=$1 exe=$2 log=$3 n_passed n_failed n_skipped
  wine "$exe" --gtest_brief=1 >"$log" 2>&1 || true
  # Brief output: one "[  FAILED  ] Suite.Name (N ms)" line per failed test.
  grep -E '^\[  FAILED  \] [A-Za-z]' "$log" || true
  n_passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  n_failed=$(grep -cE '^\[  FAILED  \] [A-Za-z]' "$log" || true)
  if ! grep -q '^\[==========\] .* ran\.' "$log"; then
    echo "$name did not finish (see $log)"
    n_failed=$((n_failed + 1))
  fi
  n_skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  echo "$name: ${n_passed:-0} passed, ${n_failed:-0} failed, ${n_skipped:-0} skipped"
  passed=$((passed + ${n_passed:-0}))
  failed=$((failed + ${n_failed:-0}))
}
