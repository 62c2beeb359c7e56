#!/usr/bin/perl
# Counts the records of an ISO 2709 file (GBK) that a cataloguer would have to fix by hand before a
# library system takes them, against the truth file written beside a test table:
#   score.pl RECORDS.iso TABLE.truth.tsv [REPORT.tsv]
# Prints one line a criterion with the records that fail it, then "needing a fix: N of M (P %)".
# With the run's report, it also counts the rows whose defect (a failed criterion) or whose
# reshaping the truth knows of (an ISBN for $z, a shop title, a total row, a year from a date
# cell, a split title, a translation's language, a repeated row, a title under several ISBNs) the
# report does not name by kind or field: "not in the report: N of M (P %)".
use strict;
use warnings;
use utf8;
use Encode qw(decode encode);
use MARC::Record;
use MARC::File::USMARC;

binmode(STDOUT, ':encoding(UTF-8)');
my ($iso, $truthFile, $reportFile) = @ARGV;
die "usage: score.pl RECORDS.iso TABLE.truth.tsv [REPORT.tsv]\n" unless $truthFile;

# The report's lines by data row: "kind\tfield" each.
my %reported;
if ($reportFile) {
  open(my $rep, '<:encoding(UTF-8)', $reportFile) or die "$reportFile: $!";
  <$rep>;
  while (my $line = <$rep>) {
    chomp $line;
    my @c = split /\t/, $line, -1;
    push @{$reported{$c[0]}}, "$c[5]\t$c[6]" if $c[0] ne '';
  }
  close $rep;
}
# Whether row `row` (from 1) has a report line of a kind matching `kinds` or a field matching `field`.
sub named {
  my ($row, $kinds, $field) = @_;
  return scalar grep { my ($k, $f) = split /\t/; ($kinds && $k =~ $kinds) || ($field && $f =~ $field) } @{$reported{$row} // []};
}
# The field (tag pattern) each criterion is about, for finding its defects in the report.
my @criterionField = (qr/^010/, qr/^100/, qr/^102|^210/, qr/^7|^200/, qr//, qr//, qr/^210/, qr/^225|^801/, qr/^690/,
                      qr/^001/, qr/^70/, qr/^7/, qr/^7/, qr/^7/, qr/^200|^205|^010|^215/, qr/^100/, qr/^100/, qr/^010/,
                      qr/^200/, qr/^215|^606|^690/, qr/^101/, qr/^101/, qr/^001/, qr/^905/, qr/^001/);
my ($toName, $unnamed) = (0, 0);

open(my $t, '<:encoding(UTF-8)', $truthFile) or die "$truthFile: $!";
my $header = <$t>;
chomp $header;
my @columns = split /\t/, $header, -1;
my @truth;
while (my $line = <$t>) {
  chomp $line;
  my %row;
  @row{@columns} = split /\t/, $line, -1;
  push @truth, \%row;
}
close $t;
# The rows a later row repeats, and the rows whose title other rows have under another ISBN.
my %repeated;
$repeated{$_->{duplicate}}++ for grep { ($_->{duplicate} // '') ne '' } @truth;
my (%isbnsOfTitle, %inSet);
for my $row (grep { ($_->{title} // '') ne '' && ($_->{isbn} // '') ne '' && ($_->{duplicate} // '') eq '' } @truth) {
  $isbnsOfTitle{$row->{title}}{$row->{isbn}} = 1;
}
$inSet{$_->{row}} = 1 for grep { ($_->{title} // '') ne '' && ($_->{isbn} // '') ne '' && ($_->{duplicate} // '') eq ''
                                 && keys %{$isbnsOfTitle{$_->{title}}} > 1 } @truth;

my $file = MARC::File::USMARC->in($iso) or die "$iso: cannot read";
my @read;
while (my $r = $file->next()) { push @read, $r; }
$file->close();
# A recommended 001 ends in the row's number, so rows that gave no record leave a gap; other
# records stand in row order.
my @records = @read;
if (@read && !grep { !$_->field('001') || $_->field('001')->data() !~ /^\d{20}$/ } @read) {
  @records = ();
  $records[substr($_->field('001')->data(), 14) - 1] = $_ for @read;
}

sub text { my ($s) = @_; return defined $s ? decode('gbk', $s) : undef; }
sub sub_of { my ($field, $code) = @_; return $field ? text($field->subfield($code)) : undef; }

my @criteria = (
  'ISBN not hyphenated right, or invalid left in 010 $a',
  '100 $a date 1 not the year of 210 $d, invented, or positions shifted',
  '102 $b missing although the table knows the publisher',
  'a person of 200 $f/$g without 7XX, or a 70X $a holding a separator or role word',
  'a "?" not in the source',
  'a value cut at a line break',
  '210 $c holding place or date',
  '225 or 801 indicators wrong',
  '690 without $a',
  'duplicate 001',
  'a translator written as author (701) or without 702 $4 译',
  'a heading fragment: a 7XX $a no person or body of the row (name part, role word)',
  'a doubled heading: the same 7XX $a twice',
  'a body written as a person (70X)',
  'title not split: subtitle, edition, part, binding or volumes left in 200 $a, or a shop title changed',
  'a year typed into a date cell not taken from its serial',
  'year lost (a date holding one gave none), or an unknown year not typed "u" in 100 $a',
  'ISBN dropped: a 10- or 13-digit ISBN in neither 010 $a nor 010 $z',
  'a total or end row written as a record',
  '215 $a/$d not in pages and centimetres, 606 not one a term, 690 not a class number',
  '101 not coded as a translation (indicator 1, the original language in $c)',
  'a title without Han characters coded Chinese (101 $a chi, or 100 $a/34-35 ea)',
  'a repeated row written as a record (the row it repeats stands for it)',
  '905 $f not the copies of the row and of the rows merged into it',
  'a book without a record (failed, or merged into a row it does not repeat)',
);
my @failed = (0) x @criteria;
my $needing = 0;
my %ids;
$ids{$_->field('001') ? $_->field('001')->data() : ''}++ for @read;
my $roleWords = qr/(?:编著|主编|编写|口述|整理|校注|译注|著|编|译|绘|撰|校|注)$/;

for my $i (0 .. $#truth) {
  my $row = $truth[$i];
  my $r = $records[$i];
  my @bad;
  my $col = sub { return $row->{$_[0]} // ''; };
  if ($col->('total') ne '') {
    if ($r) { $failed[18]++; $needing++; }
    if ($reportFile) { $toName++; $unnamed++ unless named($i + 1, qr/not-a-book/); }
    next;
  }
  if ($col->('duplicate') ne '') {
    if ($r) { $failed[22]++; $needing++; }
    if ($reportFile) { $toName++; $unnamed++ unless named($i + 1, qr/duplicate-row/); }
    next;
  }
  if (!$r) { $failed[24]++; $needing++; next; }
  # 1. ISBN
  my $isbnA = sub_of(scalar($r->field('010')), 'a');
  if ($row->{isbn} ne '') { push @bad, 0 unless defined $isbnA && $isbnA eq $row->{isbn}; }
  else { push @bad, 0 if defined $isbnA && $isbnA ne ''; }
  # 2. 100 $a
  my $f100 = sub_of(scalar($r->field('100')), 'a') // '';
  my $date1 = length($f100) >= 13 ? substr($f100, 9, 4) : '';
  my $d210 = sub_of(scalar($r->field('210')), 'd') // '';
  if (length($f100) != 36) { push @bad, 1; }
  elsif ($row->{year} ne '') { push @bad, 1 unless $date1 eq $row->{year} && index($d210, $row->{year}) >= 0; }
  else { push @bad, 1 if $date1 =~ /\d/; }
  # 3. 102 $b
  my $b102 = sub_of(scalar($r->field('102')), 'b') // '';
  push @bad, 2 if $row->{region} ne '' && $b102 ne $row->{region};
  # 4. persons
  my @names = map { sub_of($_, 'a') // '' } $r->field('7..');
  for my $p (split /\|/, $row->{persons}) {
    my ($name) = split /:/, $p;
    if (!grep { $_ eq $name } @names) { push @bad, 3; last; }
  }
  push @bad, 3 if grep { /[,，、;；\/]|\s/ && !/^[A-Za-z]/ || /$roleWords/ } map { sub_of($_, 'a') // '' } $r->field('70.');
  # 5. "?"
  my $all = join("\n", map { $_->as_string() } $r->fields());
  push @bad, 4 if text($all) =~ /\?/;
  # 6. a value cut at a line break
  push @bad, 5 if $row->{after_break} ne '' && index(text($all), $row->{after_break}) < 0;
  # 7. 210 $c
  my $c210 = sub_of(scalar($r->field('210')), 'c') // '';
  push @bad, 6 if $c210 =~ /[:：]|\d{4}/ || ($row->{publisher} ne '' && $c210 ne $row->{publisher});
  # 8. indicators
  my $f225 = $r->field('225');
  push @bad, 7 if $f225 && ($f225->indicator(1) ne '2' || $f225->indicator(2) ne ' ');
  my $f801 = $r->field('801');
  push @bad, 7 if !$f801 || $f801->indicator(2) ne '0';
  # 9. 690
  for my $f ($r->field('690')) { push @bad, 8 unless defined $f->subfield('a'); }
  # 10. 001
  push @bad, 9 if ($ids{$r->field('001') ? $r->field('001')->data() : ''} // 0) > 1;
  # 11.-14. headings against the persons of the truth (heading:role:tag)
  my @heads = map { [$_->tag(), sub_of($_, 'a') // '', sub_of($_, '4') // ''] } $r->field('7..');
  my @persons = map { [split /:/] } grep { $_ ne '' } split /\|/, $row->{persons};
  my %truthName = map { $_->[0] => 1 } @persons;
  for my $p (grep { ($_->[1] // '') eq '译' } @persons) {
    push @bad, 10 unless grep { $_->[0] eq '702' && $_->[1] eq $p->[0] && $_->[2] eq '译' } @heads;
  }
  push @bad, 11 if grep { !$truthName{$_->[1]} } @heads;
  my %headCount;
  push @bad, 12 if grep { ++$headCount{$_->[1]} == 2 } @heads;
  for my $p (grep { ($_->[2] // '') =~ /^71/ } @persons) {
    push @bad, 13 if grep { $_->[0] =~ /^70/ && $_->[1] eq $p->[0] } @heads;
  }
  # 15. the title's pieces where they belong; a shop title as given
  if ($col->('title') ne '') {
    my $f200 = $r->field('200');
    my %want = ('200a' => $col->('title'), '200e' => $col->('subtitle'), '200h' => $col->('part'),
                '200i' => $col->('part_name'), '205a' => $col->('edition'), '010b' => $col->('binding'));
    for my $k (sort keys %want) {
      my $got = join('|', map { text($_) } map { $_->subfield(substr($k, 3)) } $r->field(substr($k, 0, 3)));
      if ($got ne $want{$k}) { push @bad, 14; last; }
    }
  }
  # 16.-17. the year
  my $type = length($f100) >= 9 ? substr($f100, 8, 1) : '';
  push @bad, 15 if $col->('serial') ne '' && $date1 ne $row->{year};
  push @bad, 16 if ($row->{year} ne '' && $date1 !~ /^\d{4}$/) || ($row->{year} eq '' && $type ne 'u');
  # 18. the ISBN kept in $a or $z
  (my $digits = $col->('isbn_z') ne '' ? $col->('isbn_z') : $row->{isbn}) =~ s/-//g;
  if ($digits ne '') {
    my @kept = map { my $s = text($_) // ''; $s =~ s/-//g; $s } map { ($_->subfield('a'), $_->subfield('z')) } $r->field('010');
    push @bad, 17 unless grep { $_ eq $digits } @kept;
  }
  # 20. 215, 606 and 690 against the truth where the table has them
  if (exists $row->{pages}) {
    my $f215 = $r->field('215');
    push @bad, 19 if (sub_of($f215, 'a') // '') ne $col->('pages') || (sub_of($f215, 'd') // '') ne $col->('size');
    push @bad, 19 if join('|', map { sub_of($_, 'a') // '' } $r->field('606')) ne $col->('subjects');
    push @bad, 19 if join('|', map { sub_of($_, 'a') // '' } $r->field('690')) ne $col->('class');
  }
  # 21.-22. 101 against the truth's "indicator code [original]"
  if ($col->('language') ne '') {
    my ($ind, $code, $original) = split / /, $col->('language');
    my $f101 = $r->field('101');
    my $a101 = sub_of($f101, 'a') // '';
    if ($code eq 'und') {
      push @bad, 21 if $a101 eq 'chi' || substr($f100, 34, 2) eq 'ea';
    } else {
      push @bad, 20 if !$f101 || $f101->indicator(1) ne $ind || (sub_of($f101, 'c') // '') ne ($original // '');
    }
  }
  # 24. the copies, those of merged rows added
  push @bad, 23 if $col->('copies') ne '' && (sub_of(scalar($r->field('905')), 'f') // '') ne $col->('copies');
  my %seen;
  @bad = grep { !$seen{$_}++ } @bad;
  if ($reportFile) {
    my $rowNo = $i + 1;
    # What the report must name for this row: each defect by its field, each reshaping by its kind.
    my @want = map { [undef, $criterionField[$_]] } @bad;
    push @want, [qr/isbn-check-digit|isbn-old-check-digit/] if $col->('isbn_z') ne '';
    push @want, [qr/shop-title/] if $col->('shop') ne '';
    push @want, [qr/year-from-date-serial|year-from-serial/] if $col->('serial') ne '';
    push @want, [qr/title-split/] if $col->('subtitle') ne '';
    push @want, [qr/title-part-moved/] if join('', map { $col->($_) } qw(part part_name edition binding volumes)) ne '';
    push @want, [qr/no-year|date-without-year/] if exists $row->{year} && $row->{year} eq '' && $col->('total') eq '';
    my $language = $col->('language');
    push @want, [qr/original-language-from-mark/] if $language =~ /^1 chi \w/;
    push @want, [qr/original-language-unknown/] if $language eq '1 chi';
    push @want, [qr/language-unknown/] if $language eq '0 und';
    push @want, [qr/rows-merged/] if $repeated{$rowNo};
    push @want, [qr/same-title-other-isbn/] if $inSet{$rowNo};
    if (@want) {
      $toName++;
      $unnamed++ if grep { !named($rowNo, $_->[0], $_->[1]) } @want;
    }
  }
  $failed[$_]++ for @bad;
  $needing++ if @bad;
}
printf "%-80s %5d\n", $criteria[$_], $failed[$_] for 0 .. $#criteria;
printf "records: %d of %d rows\n", scalar(@read), scalar(@truth);
printf "needing a fix: %d of %d (%.1f %%)\n", $needing, scalar(@truth), 100.0 * $needing / (@truth || 1);
printf "not in the report: %d of %d (%.1f %%)\n", $unnamed, $toName, 100.0 * $unnamed / ($toName || 1) if $reportFile;
