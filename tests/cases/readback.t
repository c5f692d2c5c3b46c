Rewriting a file with its own contents programs no page (strace shows each write call on img).

  $ seq 3000 >k; sed 1s/1/9/ k >k9; mkimg k=k $(printf ' f%s=' $(seq 60))
  $ programmed brellix -q -d img -w k k
  writes:

One changed byte programs its page of contents, then the table's page with the new checksum.

  $ programmed brellix -q -d img -w k k9
  writes: 1056 1056

A rename in a table over three pages programs the one page that holds its slot.

  $ programmed brellix -q -d img -mv f40 x
  writes: 1056
