#!/usr/bin/perl
# Firefox for the page's browser tests: starts a headless Firefox with a
# fresh profile that saves every download into DOWNLOADS without asking,
# through Debian's Firefox::Marionette, then carries Marionette commands for
# browser.py, one JSON object a line each way:
#   in:  {"name": "WebDriver:FindElement", "parameters": {...}}
#   out: {"error": null or {"error": ..., "message": ...}, "result": ...}
# The first line out, before any command, is {"ready": 1, "version": ...}.
# End of input quits Firefox and removes its profile.
#
# usage: marionette.pl DOWNLOADS WIDTH HEIGHT
use strict;
use warnings;
use English qw(-no_match_vars);
use IO::Handle;
use JSON();
use Firefox::Marionette();
use Firefox::Marionette::Profile();

@ARGV == 3 or die "usage: marionette.pl DOWNLOADS WIDTH HEIGHT\n";
my ( $downloads, $width, $height ) = @ARGV;

# Replies go on a handle of their own: whatever Firefox prints, on the
# standard output it inherits, goes to the standard error instead.
open my $replies, '>&', \*STDOUT or die "cannot duplicate the standard output: $OS_ERROR\n";
open STDOUT, '>&', \*STDERR or die "cannot send the standard output to the standard error: $OS_ERROR\n";
$replies->autoflush(1);
my $json = JSON->new()->ascii()->canonical()->allow_nonref();

# The chrome context (the console's messages, zoom, preferences) needs
# system access, which Firefox grants a remote client only when asked.
local $ENV{MOZ_REMOTE_ALLOW_SYSTEM_ACCESS} = 1;
my $profile = Firefox::Marionette::Profile->new();
my %preferences = (
    'browser.download.always_ask_before_handling_new_types' => 'false',
    'browser.download.manager.showWhenStarting'             => 'false',
    'browser.download.alwaysOpenPanel'                      => 'false',
    'browser.download.start_downloads_in_tmp_dir'           => 'false',
    'browser.helperApps.deleteTempFileOnExit'               => 'true',
);
while ( my ( $name, $value ) = each %preferences ) {
    $profile->set_value( $name, $value, 0 );
}
$profile->set_value( 'browser.helperApps.neverAsk.saveToDisk',
    'application/octet-stream,text/csv,text/plain,application/json', 1 );

my $firefox = Firefox::Marionette->new(
    binary  => 'firefox-esr',
    profile => $profile,
    width   => $width,
    height  => $height,
);
# Set once Firefox runs: Firefox::Marionette gives a profile its own
# download folder, whatever the profile said.
$firefox->set_pref( 'browser.download.dir', $downloads );
print {$replies} $json->encode( { ready => 1, version => $firefox->browser_version() } ), "\n";

while ( my $line = <STDIN> ) {
    my $reply = eval {
        my $command = $json->decode($line);
        my $id      = $firefox->_new_message_id();
        $firefox->_send_request( [ 0, $id, $command->{name}, $command->{parameters} // {} ] );
        my $response;
        do {
            $response = $firefox->_read_from_socket();
        } while ( $response->[1] < $id );
        +{ error => $response->[2], result => $response->[3] };
    } // +{ error => { error => 'marionette.pl', message => "$EVAL_ERROR" }, result => undef };
    print {$replies} $json->encode($reply), "\n";
}
$firefox->quit();
