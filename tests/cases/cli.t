The help screen shows when no command ran.

  $ brellix | tee help
  Help Screen
  
  
  -- basic options --                     
  
  -h                    --help            show help screen
                        --version         show version information
  -v                    --verbose         force maximum output
  -q                    --quiet           no info messages
                        --force           force operation
  
  -- tinyfs options --                    
  
  -d                    --device          specify the mtd device (default is /dev/mtd0)
  -c                    --check           check filesystem
  
  -- file options --                      
  
  -sm                   --set-mac         specify a new mac-address
  -gm                   --get-mac         read out the current mac-address
  -l                    --list            list all files
  -e                    --exists          check for existence of file
  -r                    --read            copy a file to local filesystem
  -rs                   --read-stdout     print the contents of given file to stdout
                                          (implies --quiet)
  -w                    --write           copy a file from local fs to device (program flash)
  -mv                   --rename          rename a file
  
  -- device options --                    
  
  -sdid                 --set-device-id   set the device identifier (take care!)
  -gdid                 --get-device-id   get the device identifier
  

Options that are no commands show it too, and so does --help.

  $ for args in -q -v --force -h '-q -h' --help '-q -d x'; do
  >   brellix $args | cmp -s - help || echo "not: $args"; done

--version prints the banner instead.

  $ brellix --version
  
  Brellix v1.3 - tinyfs maintenance tool, by the Brellix developers
  

A token equal to a heading is taken by the heading, without effect.

  $ brellix '-- file options --' | cmp - help

--help after the banner shows the help screen as well.

  $ brellix --version --help | tail -n +4 | cmp - help

An empty token is taken by the first entry with an empty name: a heading, then --version.

  $ brellix '' ''
  
  Brellix v1.3 - tinyfs maintenance tool, by the Brellix developers
  

The tokens after an option are its values, whatever they look like.

  $ brellix -d -l | sed -n 1p
  ** using device -l

Refused: an option short of its values, one given twice, "=" forms, bundling; parsing stops at a stray token.

  $ refused brellix -d --device '-l --list' '-l -l' --list=1 -lq '-l -x -y'
  ! -d: Error in command line: to many arguments for parameter -d
  ! Fatal: error parsing cmd.-line
  ! --device: Error in command line: to many arguments for parameter -d
  ! Fatal: error parsing cmd.-line
  ! -l --list: Error in command line: unknown parameter "--list"
  ! Fatal: error parsing cmd.-line
  ! -l -l: Error in command line: unknown parameter "-l"
  ! Fatal: error parsing cmd.-line
  ! --list=1: Error in command line: unknown parameter "--list=1"
  ! Fatal: error parsing cmd.-line
  ! -lq: Error in command line: unknown parameter "-lq"
  ! Fatal: error parsing cmd.-line
  ! -l -x -y: Error in command line: unknown parameter "-x"
  ! Fatal: error parsing cmd.-line
