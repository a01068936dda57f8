# Drives zsh's completion in a pseudo-terminal, as a user does: for each
# line given, types it and Tab, then has the shell print what the line
# became, one result a line.
# Usage: zsh -f zsh_completion.zsh FPATH_DIR PATH_DIR WORK_DIR LINE...
zmodload zsh/zpty
zpty shell zsh -f -i
zpty -w shell "PS1='>'; fpath=($1 \$fpath); autoload -Uz compinit; compinit -u -D; path=($2 \$path); cd ${(q)3}; print READY\${:-.}"
zpty -r shell ignored '*READY.*'
for line in ${@:4}; do
  zpty -w -n shell "$line"$'\t'
  sleep 1
  # Ctrl+A and Ctrl+E wrap the line in a command that prints it; the
  # markers are made at run time so that the typed text cannot match them.
  zpty -w -n shell $'\C-a''print -r -- @@${:-START} '$'\C-e'' @@${:-END}'$'\n'
  zpty -r shell out '*@@START*@@END*'
  out=${${out##*@@START }%% @@END*}
  print -r -- "${out%% #}"
done
zpty -d shell
