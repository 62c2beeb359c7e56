#!/usr/bin/perl
# The peer: what a cataloguer with a programmer would write instead of Rowcaster. Reads the TSV that
# `rowcaster-cli dump` prints (columns named like subfields) and builds the same fields with
# MARC::Record, without pinyin and without the publisher lookup, writing ISO 2709 in GBK.
use strict;
use warnings;
use Encode qw(encode decode);
use MARC::Record;

my ($in, $out) = @ARGV;
open my $tsv, '<:encoding(UTF-8)', $in or die "$in: $!";
open my $iso, '>:raw', $out or die "$out: $!";
chomp(my $header = <$tsv>);
my @names = split /\t/, $header, -1;
my $date = '20261205';
while (my $line = <$tsv>) {
    chomp $line;
    my @cells = split /\t/, $line, -1;
    my %v;
    @v{@names} = map { s/\\t/\t/g; s/\\n/\n/g; s/\\r/\r/g; s/\\\\/\\/g; $_ } @cells;
    my $g = sub { my $s = $v{$_[0]}; defined $s ? encode('cp936', $s) : '' };
    my $r = MARC::Record->new();
    $r->leader('00000nam0 22000001  450 ');
    my @sub = sub { my @pairs = @_; my @keep; while (my ($c, $x) = splice @pairs, 0, 2) { push @keep, $c, $x if $x ne '' } @keep };
    my $add = sub {
        my ($tag, $i1, $i2, @pairs) = @_;
        my @keep;
        while (my ($c, $x) = splice @pairs, 0, 2) { push @keep, $c, $x if $x ne '' }
        $r->append_fields(MARC::Field->new($tag, $i1, $i2, @keep)) if @keep;
    };
    my $price = $g->('010d');
    $price = "CNY$price" if $price =~ /^\s*[\d.,]+\s*$/;
    $price =~ s/\xA3\xA4/CNY/g;
    (my $year = $g->('210d')) =~ s/^(\d{4}).*/$1/;
    $add->('010', ' ', ' ', a => $g->('010a'), b => $g->('010b'), d => $price);
    $add->('100', ' ', ' ', a => "${date}d${year}    em y0chiy0110    ea");
    $add->('101', '0', ' ', a => $g->('101a') || 'chi');
    $add->('102', ' ', ' ', a => 'CN');
    $add->('105', ' ', ' ', a => 'y   z   000yy');
    $add->('106', ' ', ' ', a => 'r');
    $add->('200', '1', ' ', a => $g->('200a'), e => $g->('200e'), f => $g->('200f'));
    $add->('210', ' ', ' ', a => $g->('210a'), c => $g->('210c'), d => $year);
    $add->('215', ' ', ' ', a => $g->('215a'), d => $g->('215d'));
    $add->('225', ' ', '2', a => $g->('225a'));
    $add->('300', ' ', ' ', a => $g->('300a'));
    $add->('330', ' ', ' ', a => $g->('330a'));
    $add->('606', '0', ' ', a => $g->('606a'));
    $add->('690', ' ', ' ', a => $g->('690a'), v => '4');
    for my $name (split /,/, decode('cp936', $g->('200f'))) {
        $add->('701', ' ', ' ', a => encode('cp936', $name));
    }
    $add->('801', ' ', ' ', a => 'CN', b => 'ZELKOV', c => $date);
    $add->('905', ' ', ' ', b => $g->('905b'), d => $g->('905d'), e => $g->('905e'));
    print $iso $r->as_usmarc();
}
close $iso or die "$out: $!";
